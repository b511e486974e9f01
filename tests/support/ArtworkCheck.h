#pragma once
// Checks that committed artwork is what its drawing makes now, pixel for pixel once premultiplied (see
// SamePicture.h: a drawing saved on another processor may differ from the file in translucent pixels).
#include <QDir>
#include <QImage>
#include <catch2/catch.hpp>
#include <vector>

#include "app/documents/artwork/ArtworkBasics.h"
#include "tests/support/SamePicture.h"

namespace artworkcheck {

inline void matchesCommitted(const QDir& folder, const std::vector<artwork::Artwork>& drawn) {
    for (const artwork::Artwork& artwork : drawn) {
        INFO(artwork.name);
        const QImage committed(folder.filePath(QString::fromStdString(artwork.name)));
        REQUIRE_FALSE(committed.isNull());
        CHECK(picturecheck::difference(committed, artwork.image) == "");
    }
}

} // namespace artworkcheck
