#include "db/mysql/SelMySqlLogic.h"

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"

namespace VORLIN {

namespace {

// Empty, or digits only making 1..65535.
bool validPort(const String& port) {
    if (port.isEmpty()) return true;
    if (port.length() > 5) return false;
    for (uint32_t i = 0; i < port.length(); ++i)
        if (port[i] < '0' || port[i] > '9') return false;
    int n = port.toInt();
    return n >= 1 && n <= 65535;
}

}  // namespace

SelMySqlLogic::SelMySqlLogic(DbConnection& connection, MessageHook message, RecentHook recent)
    : connection_(connection), message_(std::move(message)), recent_(std::move(recent)) {}

bool SelMySqlLogic::connectPressed() {
    databases_.clear();
    if (!validPort(port)) {
        if (message_) message_(String("ALERT"), String(kBadPort));
        return false;
    }
    String host(server);
    if (!port.isEmpty()) host.append(':').append(port);
    if (!connection_.connect(host, user, password, false, String())) {
        if (message_) message_(String("ERROR"), connection_.lastError());
        return false;
    }
    if (recent_) recent_(server, portNumber());
    try {
        DataSet list;
        connection_.listDatabases(&list, String());
        for (const DataRow* row : list.rows())
            databases_.push_back(row->get(0).text());
    } catch (const GeneralException& e) {
        if (message_) message_(String("ERROR"), String(e.message()));
        return false;
    }
    return true;
}

bool SelMySqlLogic::accept(int index) {
    if (index < 0 || size_t(index) >= databases_.size()) {
        if (message_) message_(String("ALERT"), String(kChooseDatabase));
        return false;
    }
    try {
        if (!connection_.openDatabase(databases_[size_t(index)], false, user, password)) {
            if (message_) message_(String("ERROR"), connection_.lastError());
            return false;
        }
    } catch (const GeneralException& e) {
        if (message_) message_(String("ERROR"), String(e.message()));
        return false;
    }
    chosen_ = databases_[size_t(index)];
    return true;
}

void createMySqlDatabase(DbConnection& connection, const String& name) {
    String trimmed(name);
    trimmed.trim();
    if (trimmed.isEmpty()) throw GeneralException(kNoDatabaseName);
    String quoted(name);
    quoted.replace("`", "``");
    String sql;
    sql.append("CREATE DATABASE `").append(quoted).append("` CHARACTER SET utf8mb4");
    connection.execute(sql);
}

}  // namespace VORLIN
