#include "app/photos/receive/PeerTransferState.h"

#include <algorithm>

PeerTransferState& PeerTransferState::shared() {
    static PeerTransferState state;
    return state;
}

void PeerTransferState::reset() {
    stopTimer();
    status = 0;
    transfer = 0;
    endTaken = -1;
    total = count = saved = failed = pending = 0;
    failureCauses.clear();
    endStepRunning = false;
    filing = false;
    idleTimerDisabled = false;
}

void PeerTransferState::saveFailed(const std::string& cause) {
    failed += 1;
    if (!cause.empty() && std::find(failureCauses.begin(), failureCauses.end(), cause) == failureCauses.end())
        failureCauses.push_back(cause);
}
