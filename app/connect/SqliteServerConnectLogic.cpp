#include "app/connect/SqliteServerConnectLogic.h"

namespace VORLIN {

bool SqliteServerConnectLogic::accept() {
    server.trim();
    if (server.isEmpty()) {
        if (message_) message_(String("ALERT"), String(kNoServer));
        return false;
    }
    if (port < 1 || port > 65535) {
        if (message_) message_(String("ALERT"), String(kBadPort));
        return false;
    }
    return true;
}

}  // namespace VORLIN
