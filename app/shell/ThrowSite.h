#pragma once
// The recorder behind CallStack.h: the process's throw function is wrapped so that, while recording,
// it notes the call stack before the exception starts unwinding it.
#include <atomic>

namespace shell::detail {

struct ThrowSite {
    void* frames[64];
    int count = 0;
};

std::atomic<bool>& throwSiteRecording();
// This thread's last recorded throw.
const ThrowSite& lastThrowSite();

} // namespace shell::detail
