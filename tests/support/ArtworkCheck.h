#pragma once
// Checks that committed artwork is what its drawing makes now, pixel for pixel.
#include <QDir>
#include <QImage>
#include <catch2/catch.hpp>
#include <vector>

#include "app/documents/artwork/ArtworkBasics.h"

namespace artworkcheck {

inline void matchesCommitted(const QDir& folder, const std::vector<artwork::Artwork>& drawn) {
    for (const artwork::Artwork& artwork : drawn) {
        INFO(artwork.name);
        QImage committed(folder.filePath(QString::fromStdString(artwork.name)));
        REQUIRE_FALSE(committed.isNull());
        committed = committed.convertToFormat(QImage::Format_ARGB32);
        const QImage image = artwork.image.convertToFormat(QImage::Format_ARGB32);
        REQUIRE(committed.size() == image.size());
        CHECK(committed == image);
    }
}

} // namespace artworkcheck
