#include "app/query/ConnectionBusy.h"

#include <algorithm>
#include <vector>

#include "core/GeneralException.h"

namespace {

std::vector<const VORLIN::DbConnection*>& held() {
    static std::vector<const VORLIN::DbConnection*> list;
    return list;
}

}  // namespace

bool ConnectionBusy::busy(const VORLIN::DbConnection* connection) {
    return std::find(held().begin(), held().end(), connection) != held().end();
}

bool ConnectionBusy::any() {
    return !held().empty();
}

void ConnectionBusy::require(const VORLIN::DbConnection* connection, const VORLIN::String& label) {
    if (!busy(connection)) return;
    VORLIN::String text;
    text.format(kBusy, label.c_str());
    throw VORLIN::GeneralException(text.toStdString());
}

ConnectionBusy::Hold::Hold(const VORLIN::DbConnection* connection) : connection_(connection) {
    held().push_back(connection);
}

ConnectionBusy::Hold::~Hold() {
    auto& list = held();
    if (auto it = std::find(list.begin(), list.end(), connection_); it != list.end())
        list.erase(it);
}
