// ConnectionBusy: which connections are at work on another thread (a
// query window reading a result in the background). Nothing else may use
// such a connection until it is released: the windows ask before they
// touch one, and refuse with kBusy.
//
// Process-wide registry. Threads: acquire, release and the questions on the
// UI thread only (the worker itself never asks). Nothing here throws but
// require().
#pragma once

#include "core/String.h"

namespace VORLIN {
class DbConnection;
}

class ConnectionBusy {
public:
    static constexpr const char* kBusy =
        "La conexión %s está ocupada con una consulta: espere a que termine o cancélela";

    static bool busy(const VORLIN::DbConnection* connection);
    static bool any();
    // Throws kBusy (with `label`) when the connection is busy.
    static void require(const VORLIN::DbConnection* connection, const VORLIN::String& label);

    // Marks a connection busy while it lives.
    class Hold {
    public:
        explicit Hold(const VORLIN::DbConnection* connection);
        ~Hold();
        Hold(const Hold&) = delete;
        Hold& operator=(const Hold&) = delete;

    private:
        const VORLIN::DbConnection* connection_;
    };
};
