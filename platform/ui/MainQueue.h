#pragma once
// Runs the main queue on the Qt event loop: tasks posted to SerialQueue::main() from any thread run on
// the GUI thread in the order posted; delayed ones after their delay.
namespace ui {

void installMainQueueExecutor();
void removeMainQueueExecutor();

} // namespace ui
