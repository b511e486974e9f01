#pragma once
// Holds the photo-opening queue busy, as an earlier picture would, until the gate goes out of scope.
#include <future>

#include "app/photos/editing/PhotoOpening.h"

namespace editortest {

class OpeningGate {
  public:
    OpeningGate() {
        photoedit::photoOpeningQueue()->async([opened = opened_.get_future().share()] { opened.wait(); });
    }
    ~OpeningGate() { opened_.set_value(); }
    OpeningGate(const OpeningGate&) = delete;
    OpeningGate& operator=(const OpeningGate&) = delete;

  private:
    std::promise<void> opened_;
};

} // namespace editortest
