#include "app/connect/SelServerLogic.h"

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"

namespace VORLIN {

SelServerLogic::SelServerLogic(DbConnection& connection, MessageHook message, RecentHook recent)
    : connection_(connection), message_(std::move(message)), recent_(std::move(recent)) {}

bool SelServerLogic::connectPressed() {
    if (port < 1 || port > 65535) {
        if (message_) message_(String("ALERT"), String(kBadPort));
        return false;
    }
    String address;
    address.format("%s:%d", server.c_str(), port);
    if (!connection_.connect(address, user, password, false, String())) {
        if (message_) message_(String("ERROR"), connection_.lastError());
        return false;
    }
    std::vector<String> names;
    try {
        DataSet list;
        connection_.listDatabases(&list, String());
        for (const DataRow* row : list.rows())
            names.push_back(row->get(0).text());
    } catch (const GeneralException& e) {
        if (message_) message_(String("ERROR"), String(e.message()));
        return false;
    }
    databases_ = std::move(names);
    if (recent_) recent_(server, port);
    return true;
}

bool SelServerLogic::accept(int index) {
    if (index < 0 || size_t(index) >= databases_.size()) {
        if (message_) message_(String("ALERT"), String(kChooseDatabase));
        return false;
    }
    if (!connection_.isConnected()) {
        if (message_) message_(String("ALERT"), String(kConnectFirst));
        return false;
    }
    chosen_ = databases_[size_t(index)];
    return true;
}

}  // namespace VORLIN
