#include "app/photos/receive/PeerTransferState.h"

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
    endStepRunning = false;
    filing = false;
    idleTimerDisabled = false;
}
