// ConnectionNotifier: tells the user-interface side that the server of a
// remote connection has gone (it closed or reset the connection, or stopped
// answering and the client gave it up). This is the old window message 1124
// (the first user message plus 100) that the client thread posted to the
// main window.
//
// The client thread raises the notice; it is delivered on the
// user-interface thread: through the poster the user interface installs
// (which runs a task on its own thread, e.g. a queued call), or, with no
// poster installed, by whoever calls dispatchPending() (tests, or a UI
// that polls). Every subscribed handler is called with the connection the
// notice is about. A notice raised while nobody is subscribed is dropped.
//
// The connection pointer identifies the source; a handler may use it only
// while the connection is known to be alive (the main window keeps every
// connection it opened until the program ends).
// Threads: every operation from any thread; handlers run on the thread that
// dispatches. Handlers must not throw (their exceptions are swallowed).
#pragma once

#include <functional>

namespace VORLIN {

class DbConnection;

class ConnectionNotifier {
public:
    // The message number the notice replaces.
    static constexpr int kServerClosedMessage = 1124;

    using Handler = std::function<void(DbConnection* source)>;
    using Task = std::function<void()>;
    using Poster = std::function<void(Task task)>;

    // Answers an id for unsubscribe().
    static int subscribe(Handler handler);
    static void unsubscribe(int id);
    // Installs the way tasks reach the user-interface thread (empty removes it).
    static void setPoster(Poster poster);

    // Called by the client thread.
    static void raiseServerClosed(DbConnection* source);

    // Without a poster: delivers the queued notices on the calling thread;
    // answers how many.
    static int dispatchPending();
    // Waits up to timeoutMs for a queued notice; true when one is waiting.
    static bool waitPending(int timeoutMs);
    static int pendingCount();

private:
    static void deliver(DbConnection* source);
};

}  // namespace VORLIN
