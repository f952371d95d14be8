#include "remote/KeepAliveLine.h"

#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "remote/SqliteClient.h"

namespace VORLIN {

KeepAliveLine::KeepAliveLine(SqliteClient* client, int intervalMs)
    : client_(client), intervalMs_(intervalMs > 0 ? intervalMs : kDefaultIntervalMs) {}

KeepAliveLine::~KeepAliveLine() {
    if (isStarted() && !isFinished()) stop(kStopWaitMs);
    join();
}

int KeepAliveLine::run() {
    // One message, reused for every beat.
    NetMessage beat(RemoteCode::kKeepAlive);
    // Waiting on the stop event (rather than sleeping) ends the line as soon
    // as it is told to stop.
    while (!stop_.isEventFired(intervalMs_)) {
        SqliteClient* c = client_.load();
        if (!c) continue;
        if (c->isConnected() && !c->isBusy() && c->hasSocket() && c->sendBeat(beat))
            ++sent_;
        else
            ++skipped_;
    }
    client_ = nullptr;
    stopped_.fire();
    return 0;
}

bool KeepAliveLine::stop(int timeoutMs) {
    client_ = nullptr;
    if (!isStarted() || isFinished()) return true;
    stop_.fire();
    return stopped_.waitForEvent(timeoutMs);
}

}  // namespace VORLIN
