#include "remote/ConnectionNotifier.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

namespace VORLIN {

namespace {

struct State {
    std::mutex mutex;
    std::condition_variable queued;
    std::map<int, ConnectionNotifier::Handler> handlers;
    int nextId = 1;
    ConnectionNotifier::Poster poster;
    std::deque<DbConnection*> pending;
};

State& state() {
    static State s;
    return s;
}

}  // namespace

int ConnectionNotifier::subscribe(Handler handler) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    int id = s.nextId++;
    s.handlers[id] = std::move(handler);
    return id;
}

void ConnectionNotifier::unsubscribe(int id) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.handlers.erase(id);
}

void ConnectionNotifier::setPoster(Poster poster) {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.poster = std::move(poster);
}

void ConnectionNotifier::raiseServerClosed(DbConnection* source) {
    State& s = state();
    Poster poster;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.handlers.empty()) return;
        if (!s.poster) {
            s.pending.push_back(source);
            s.queued.notify_all();
            return;
        }
        poster = s.poster;
    }
    // Posted outside the lock: a poster that runs the task at once (on the
    // same thread) must be able to call back in.
    poster([source] { deliver(source); });
}

void ConnectionNotifier::deliver(DbConnection* source) {
    std::vector<Handler> handlers;
    {
        State& s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        for (auto& [id, h] : s.handlers)
            handlers.push_back(h);
    }
    for (Handler& h : handlers) {
        try {
            h(source);
        } catch (...) {
        }
    }
}

int ConnectionNotifier::dispatchPending() {
    State& s = state();
    std::deque<DbConnection*> taken;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        taken.swap(s.pending);
    }
    for (DbConnection* source : taken)
        deliver(source);
    return int(taken.size());
}

bool ConnectionNotifier::waitPending(int timeoutMs) {
    State& s = state();
    std::unique_lock<std::mutex> lock(s.mutex);
    return s.queued.wait_for(lock, std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs),
                             [&] { return !s.pending.empty(); });
}

int ConnectionNotifier::pendingCount() {
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return int(s.pending.size());
}

}  // namespace VORLIN
