#pragma once
// Photo files an index made anew finds and does not name: the library's own photographs, whose index
// was lost. They are taken back whole: the files stay as they are, each keeps the identifier its name
// was made from (so whatever kept an identifier finds its photograph again), and they go, oldest
// first, to the end of one album.
#include <string>
#include <vector>

#include "platform/photos/PhotoIndex.h"

namespace photos {

struct FoundPhotographs {
    std::vector<AssetRecord> records; // oldest first: by the file's time, then its name
    std::vector<std::string> refused; // no whole picture (a write cut short, say): left as they are
};

// Reads and checks the files (relative to the root, as the index names files). Only the library's
// queue changes the folder, so this needs no lock of the index.
FoundPhotographs readFoundPhotographs(const std::string& root, const std::vector<std::string>& files);

// Enters the photographs into the index and appends them to the first album of the title (made when
// there is none), in one transaction; false, with nothing entered, when the index refused.
bool enterFoundPhotographs(PhotoIndex& index, const FoundPhotographs& found, const std::string& albumTitle);

} // namespace photos
