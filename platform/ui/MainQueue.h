#pragma once
// Runs the main queue on the Qt event loop: tasks posted to SerialQueue::main() from any thread run on
// the GUI thread in the order posted, those queued before the install first; delayed ones once the
// queue's clock says so.
namespace ui {

void installMainQueueExecutor();
// The main queue goes back to its own thread, which runs what the loop has not.
void removeMainQueueExecutor();

} // namespace ui
