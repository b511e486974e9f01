// The committed mode button images are what the artwork tool draws.
#include <QDir>
#include <catch2/catch.hpp>

#include "tests/support/ArtworkCheck.h"
#include "tools/photoeditor/EditorButtonArtwork.h"

TEST_CASE("the editor's mode buttons match their drawing", "[editor][artwork]") {
    const auto drawn = editorart::drawEditorButtons();
    REQUIRE(drawn.size() == 2);
    artworkcheck::matchesCommitted(QDir(ZARUVEDEZ_SOURCE_DIR "/resources/bundle"), drawn);
}
