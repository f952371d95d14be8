#include "app/connect/SelDbLogic.h"

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"

namespace VORLIN {

namespace {

// A folder with its trailing "/", as the local connection keeps its host.
String asFolder(const String& folder) {
    if (folder.isEmpty() || folder[folder.length() - 1] == '/') return folder;
    return folder + "/";
}

bool endsWithDb(const String& name) {
    return name.length() > 3 && name.right(3) == ".db";
}

}  // namespace

SelDbLogic::SelDbLogic(Kind kind, DbConnection& connection, const String& host,
                       const String& database, MessageHook message, AskHook ask)
    : kind_(kind),
      connection_(connection),
      host_(host),
      wanted_(database),
      message_(std::move(message)),
      ask_(std::move(ask)) {
    if (kind_ == Kind::Local && host_.isEmpty()) host_ = connection_.defaultFolder();
}

bool SelDbLogic::ready(bool quiet) {
    if (kind_ == Kind::Remote) {
        if (connection_.isConnected()) return true;
        if (message_) message_(String("ALERT"), String(kConnectFirst));
        return false;
    }
    // Never connect with an empty folder: the local connection would ask
    // through this very dialog again.
    if (host_.isEmpty()) {
        if (!quiet && message_) message_(String("ALERT"), String(kNoFolder));
        return false;
    }
    String current = connection_.getHost();
    if (asFolder(host_) == current) return true;
    if (!movedFolder_) previousFolder_ = current;
    if (!connection_.connect(host_, String(), String(), false, "-")) {
        if (message_) message_(String("ERROR"), connection_.lastError());
        return false;
    }
    movedFolder_ = true;
    return true;
}

void SelDbLogic::fill() {
    databases_.clear();
    if (!ready(true)) return;
    try {
        DataSet list;
        connection_.listDatabases(&list, String());
        for (const DataRow* row : list.rows())
            databases_.push_back(row->get(0).text());
    } catch (const GeneralException& e) {
        if (message_) message_(String("ERROR"), String(e.message()));
    }
}

int SelDbLogic::indexOf(const String& name) const {
    if (name.isEmpty()) return -1;
    for (size_t i = 0; i < databases_.size(); ++i)
        if (databases_[i] == name || databases_[i] == name + ".db") return int(i);
    return -1;
}

int SelDbLogic::selected() const {
    return indexOf(wanted_);
}

bool SelDbLogic::newPressed() {
    if (!ready()) return false;
    String name;
    if (!ask_ || !ask_(String(kNewTitle), String(kNewPrompt), name)) return false;
    name.trim();
    if (name.isEmpty()) return false;
    if (name.findOneOf("/\\") >= 0) {
        if (message_) message_(String("ALERT"), String(kBadName));
        return false;
    }
    try {
        // Remote: the server adds ".db" itself when the name has none.
        connection_.createDatabase(name, kind_ == Kind::Remote || !endsWithDb(name));
    } catch (const GeneralException& e) {
        if (message_) message_(String("ERROR"), String(e.message()));
        return false;
    }
    wanted_ = name;
    fill();
    return true;
}

bool SelDbLogic::accept(int index) {
    if (index < 0 || size_t(index) >= databases_.size()) {
        if (message_) message_(String("ALERT"), String(kChooseDatabase));
        return false;
    }
    if (kind_ == Kind::Remote && !ready()) return false;
    chosen_ = databases_[size_t(index)];
    return true;
}

void SelDbLogic::restore() {
    if (kind_ != Kind::Local || !movedFolder_) return;
    movedFolder_ = false;
    if (!previousFolder_.isEmpty())
        connection_.connect(previousFolder_, String(), String(), false, "-");
}

}  // namespace VORLIN
