#include "db/mysql/SelMySqlLogic.h"

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"

namespace VORLIN {

SelMySqlLogic::SelMySqlLogic(DbConnection& connection, MessageHook message)
    : connection_(connection), message_(std::move(message)) {}

bool SelMySqlLogic::connectPressed() {
    databases_.clear();
    String host(server);
    if (!port.isEmpty()) host.append(':').append(port);
    if (!connection_.connect(host, user, password, false, String())) {
        if (message_) message_(String("ERROR"), connection_.lastError());
        return false;
    }
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

}  // namespace VORLIN
