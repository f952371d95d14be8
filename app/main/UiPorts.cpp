#include "app/main/UiPorts.h"

#include <QCoreApplication>
#include <QMetaObject>

#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/ConnectionDialogs.h"
#include "db/DbConnection.h"
#include "remote/ConnectionNotifier.h"
#include "script/ScriptTrace.h"
#include "ui/FileDialogs.h"
#include "ui/MsgBox.h"

namespace VORLIN {

UiPorts::~UiPorts() {
    uninstall();
}

void UiPorts::install(Settings settings) {
    uninstall();
    settings_ = std::move(settings);
    installed_ = true;

    // 1. Remote notices: a queued call on the application object.
    ConnectionNotifier::setPoster([](ConnectionNotifier::Task task) {
        if (QCoreApplication* app = QCoreApplication::instance())
            QMetaObject::invokeMethod(app, std::move(task), Qt::QueuedConnection);
    });
    // 2. Failed table edits.
    TableDataset::setMessageHook(
        [](const String& caption, const String& text) { MsgBox::show(text, caption); });
    // 3. Text exports.
    DataSet::setSaveFileChooser([this](const String& filter) {
        return FileDialogs::saveFile("Guardar como", filter,
                                     settings_.workFolder ? settings_.workFolder() : String());
    });
    // 4. The trace file.
    workFolderChanged();
    // 5. Connection windows.
    ConnectionDialogs::install(settings_.dialogs);
}

void UiPorts::uninstall() {
    if (!installed_) return;
    installed_ = false;
    ConnectionDialogs::install(nullptr);
    ScriptTrace::setFileName(ScriptTrace::kDefaultFileName);
    DataSet::setSaveFileChooser({});
    TableDataset::setMessageHook({});
    ConnectionNotifier::setPoster({});
    settings_ = Settings();
}

void UiPorts::prepare(DbConnection& connection) const {
    if (settings_.workFolder) connection.setDefaultFolder(settings_.workFolder());
}

void UiPorts::workFolderChanged() const {
    if (!installed_ || !settings_.workFolder) return;
    ScriptTrace::setFileName(settings_.workFolder() + String(ScriptTrace::kDefaultFileName));
}

}  // namespace VORLIN
