#include "ui/QtScriptHost.h"

#include "ui/FileDialogs.h"
#include "ui/MsgBox.h"
#include "ui/QtWaitWindow.h"
#include "ui/WaitCursor.h"

namespace VORLIN {

void QtScriptHost::showMessage(const String& text, const String& caption) {
    MsgBox::show(text, caption);
}

bool QtScriptHost::confirm(const String& text, const String& caption, const String& noLabel) {
    return MsgBox::ask(text, caption, noLabel);
}

void QtScriptHost::setWaitCursor(bool on) {
    WaitCursor::set(on);
}

void QtScriptHost::printMessage(const String& text, bool secondMode) {
    if (output_) output_(text, secondMode);
}

String QtScriptHost::openFileDialog(const String& caption, const String& filter) {
    return FileDialogs::openFile(caption, filter, startFolder_);
}

String QtScriptHost::saveFileDialog(const String& caption, const String& filter) {
    return FileDialogs::saveFile(caption, filter, startFolder_);
}

std::unique_ptr<WaitWindow> QtScriptHost::openWaitWindow(const String& text) {
    return std::make_unique<QtWaitWindow>(text);
}

DbConnection* QtScriptHost::findConnection(const String& name) {
    return finder_ ? finder_(name) : nullptr;
}

}  // namespace VORLIN
