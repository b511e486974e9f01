#pragma once
// New payload files of one batch of stores, written together and made durable together: each file is
// created under its final name and its write-back started as soon as its bytes are written, and only
// then is every file synced, so the disk takes the batch as one stream and the syncs after the first
// find little left to wait for. A file is written in place, not renamed into place: until the batch's
// journal record refers to it, a file cut short by a crash is one no stored event names, which the
// next start removes. The names are durable once the caller syncs the folder.
#include <string>
#include <vector>

#include "platform/foundation/Value.h"

namespace transport {

class PayloadBatch {
  public:
    PayloadBatch() = default;
    ~PayloadBatch(); // closes and removes files added and never synced
    PayloadBatch(const PayloadBatch&) = delete;
    PayloadBatch& operator=(const PayloadBatch&) = delete;

    // Creates `path` (replacing whatever file is there) with `bytes`; false when it could not be
    // written, and then nothing is left at `path`.
    bool add(const std::string& path, const foundation::Data& bytes);
    // Syncs every file added since the last call, in the order added: true for each whose bytes are
    // on disk. One that could not be synced is removed.
    std::vector<bool> sync();

  private:
    struct File {
        std::string path;
        int fd;
    };
    std::vector<File> files_;
};

} // namespace transport
