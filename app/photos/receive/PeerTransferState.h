#pragma once
// The transfer state of the receive screens: one for the process, kept on the main thread.
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/SerialQueue.h"

struct PeerTransferState {
    int status = 0;     // 0 idle, 1 receiving
    long transfer = 0;  // numbers the transfers: one more at each Readiness and each leave
    long endTaken = -1; // the transfer whose End was taken: a repeat of it is ignored
    long total = 0;     // n of the last Start text
    long count = 0;     // photographs arrived since the last Start text: the Progress numbers
    long saved = 0;     // of those, saves completed (stored or failed)
    long failed = 0;    // of those, saves that failed
    long pending = 0;   // saves started and not completed, whatever the counts were reset to
    long leaves = 0;    // peers that left, so a waiting end step sees its transfer was cut
    bool endStepRunning = false;
    bool filing = false; // new photographs are being filed (the end step's scan, move and row)
    // The device may not dim or lock while photographs come in.
    bool idleTimerDisabled = false;
    std::shared_ptr<foundation::Timer> timer; // the one-shot receive timeout
    std::vector<std::string> failureCauses;   // why the failed saves failed, each cause once

    static PeerTransferState& shared();
    void stopTimer() {
        if (timer) timer->invalidate();
        timer.reset();
    }
    // A save that failed, with the cause the staff read (empty when there is none to say).
    void saveFailed(const std::string& cause);
    // Back to idle with nothing counted (a new screen, tests).
    void reset();
};
