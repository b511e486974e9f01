#pragma once
// How screens wait for photo-library changes that complete on the library's queue: by running the
// main event loop in short steps (the screen stays live, further events are handled meanwhile), or by
// sleeping on a process-wide busy flag (the screen is frozen).
#include <atomic>
#include <functional>

namespace photos {

// 1 while a screen's album move is in progress, 0 otherwise.
std::atomic<int>& photoLibraryBusyFlag();

// Runs the main event loop for about `seconds`.
void runMainLoopFor(double seconds);
// Runs the main event loop in steps of `stepSeconds` until `done` holds. Within a step `done` is
// looked at often, so a wait ends soon after its condition does rather than at the step's end.
void runMainLoopUntil(const std::function<bool()>& done, double stepSeconds);
// Sleeps the calling thread in steps of `stepMicroseconds` until the busy flag is 0.
void sleepWhileLibraryBusy(long stepMicroseconds);

} // namespace photos
