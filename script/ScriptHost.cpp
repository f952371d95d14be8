#include "script/ScriptHost.h"

#include "db/DbConnection.h"

namespace VORLIN {

void ScriptHost::showMessage(const String&, const String&) {}

bool ScriptHost::confirm(const String&, const String&, const String&) {
    return false;
}

void ScriptHost::setWaitCursor(bool) {}

void ScriptHost::printMessage(const String&, bool) {}

String ScriptHost::openFileDialog(const String&, const String&) {
    return String();
}

String ScriptHost::saveFileDialog(const String&, const String&) {
    return String();
}

std::unique_ptr<WaitWindow> ScriptHost::openWaitWindow(const String&) {
    return nullptr;
}

DbConnection* ScriptHost::findConnection(const String&) {
    return nullptr;
}

}  // namespace VORLIN
