#include "db/odbc/OdbcSelDbLogic.h"

#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"
#include "db/odbc/OdbcConnection.h"

namespace VORLIN {

OdbcSelDbLogic::OdbcSelDbLogic(DbConnection& connection, MessageHook message)
    : connection_(connection), message_(std::move(message)) {}

void OdbcSelDbLogic::fill() {
    sources_.clear();
    if (!connection_.isConnected() &&
        !connection_.connect(String(), user, password, false, String())) {
        if (message_) message_(String("ERROR"), connection_.lastError());
        return;
    }
    DataSet list;
    connection_.listDatabases(&list, String());
    for (const DataRow* row : list.rows())
        sources_.push_back(row->get(0).text());
}

void OdbcSelDbLogic::newPressed() {
    OdbcConnection::ConfigFiles files = OdbcConnection::configFiles();
    String text;
    text.format(kNewText, files.userSources.c_str(), files.systemSources.c_str(),
                files.drivers.c_str());
    if (message_) message_(String("INFO"), text);
    fill();
}

bool OdbcSelDbLogic::accept(int index) {
    if (index < 0 || size_t(index) >= sources_.size()) {
        if (message_) message_(String("ALERT"), String(kChooseSource));
        return false;
    }
    if (!connection_.openDatabase(sources_[size_t(index)], false, user, password)) {
        if (message_) message_(String("ERROR"), connection_.lastError());
        return false;
    }
    chosen_ = sources_[size_t(index)];
    return true;
}

String OdbcSelDbLogic::chosen() const {
    return chosen_.isEmpty() ? String() : String("ODBC|").append(chosen_);
}

}  // namespace VORLIN
