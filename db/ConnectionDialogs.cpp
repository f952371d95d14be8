#include "db/ConnectionDialogs.h"

#include <atomic>

namespace VORLIN {

namespace {

std::atomic<ConnectionDialogs*> gInstalled{nullptr};

// What the connections talk to when the user interface installed nothing.
class CancellingDialogs final : public ConnectionDialogs {};

}  // namespace

ConnectionDialogs::~ConnectionDialogs() = default;

bool ConnectionDialogs::chooseFolder(const String&, String&) {
    return false;
}

bool ConnectionDialogs::selectLocalDatabase(DbConnection&, const String&, const String&,
                                            DatabaseChoice&) {
    return false;
}

bool ConnectionDialogs::chooseRemoteServer(String&, int&) {
    return false;
}

bool ConnectionDialogs::selectRemoteDatabase(DbConnection&, const String&, const String&,
                                             DatabaseChoice&) {
    return false;
}

bool ConnectionDialogs::selectOdbcSource(DbConnection&, String&, String&, String&) {
    return false;
}

void ConnectionDialogs::install(ConnectionDialogs* dialogs) noexcept {
    gInstalled.store(dialogs);
}

ConnectionDialogs* ConnectionDialogs::installed() noexcept {
    return gInstalled.load();
}

ConnectionDialogs& ConnectionDialogs::current() noexcept {
    static CancellingDialogs cancelling;
    ConnectionDialogs* d = gInstalled.load();
    return d ? *d : cancelling;
}

}  // namespace VORLIN
