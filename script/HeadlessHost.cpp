#include "script/HeadlessHost.h"

#include <iostream>

#include "db/DbConnection.h"

namespace VORLIN {

HeadlessHost::HeadlessHost() : HeadlessHost(std::cout, std::cerr) {}

HeadlessHost::HeadlessHost(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

void HeadlessHost::showMessage(const String& text, const String& caption) {
    ++messages_;
    err_ << caption.view() << ": " << text.view() << '\n';
    err_.flush();
}

bool HeadlessHost::confirm(const String& text, const String& caption, const String&) {
    ++messages_;
    err_ << caption.view() << ": " << text.view() << '\n';
    err_.flush();
    return confirmAnswer_;
}

void HeadlessHost::setWaitCursor(bool on) {
    waitCursor_ = on;
}

void HeadlessHost::printMessage(const String& text, bool) {
    // The console has a single writing mode: one line per message.
    out_ << text.view() << '\n';
    out_.flush();
}

String HeadlessHost::openFileDialog(const String&, const String&) {
    return String(fileAnswer_);
}

String HeadlessHost::saveFileDialog(const String&, const String&) {
    return String(fileAnswer_);
}

DbConnection* HeadlessHost::findConnection(const String& name) {
    // By label first (the name the connection is published under), then by
    // the connection's own alias.
    auto at = connections_.find(name.view());
    if (at != connections_.end()) return at->second;
    for (const auto& [label, connection] : connections_)
        if (connection->getAlias() == name) return connection;
    return nullptr;
}

void HeadlessHost::addConnection(const String& name, DbConnection* connection) {
    if (connection)
        connections_[name.toStdString()] = connection;
    else
        connections_.erase(name.toStdString());
}

}  // namespace VORLIN
