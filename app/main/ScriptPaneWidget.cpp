#include "app/main/ScriptPaneWidget.h"

#include <QCoreApplication>
#include <QPlainTextEdit>

#include "app/query/ConnectionBusy.h"
#include "core/GeneralException.h"
#include "ui/CodeEditor.h"
#include "ui/ColoringSet.h"
#include "ui/FileDialogs.h"
#include "ui/MsgBox.h"
#include "ui/WaitCursor.h"

namespace VORLIN {

ScriptPaneWidget::ScriptPaneWidget(ScriptSession* scripts, Hooks hooks, QWidget* parent)
    : QSplitter(Qt::Vertical, parent),
      logic_(scripts ? std::make_unique<ScriptEditorLogic>(*scripts) : nullptr),
      hooks_(std::move(hooks)) {
    setAccessibleName(QStringLiteral("Script y salida"));
    editor_ = new CodeEditor("Script", ColoringSet::script(), this);
    output_ = new QPlainTextEdit(this);
    output_->setReadOnly(true);
    output_->setAccessibleName(QStringLiteral("Salida"));
    output_->setTabChangesFocus(true);
    output_->setMaximumBlockCount(20000);
    addWidget(editor_);
    addWidget(output_);
    setStretchFactor(0, 3);
    setStretchFactor(1, 1);
    if (logic_) {
        // Between instructions of a run the window stays alive: it repaints
        // and "Detener" (or Escape) can be pressed.
        logic_->setKeepAlive([] { QCoreApplication::processEvents(QEventLoop::AllEvents, 5); });
    }
}

ScriptPaneWidget::~ScriptPaneWidget() = default;

void ScriptPaneWidget::print(const String& text) {
    output_->appendPlainText(QString::fromUtf8(text.c_str(), int(text.length())));
}

void ScriptPaneWidget::showTitle() {
    if (!logic_) return;
    const QString title = QString::fromUtf8(logic_->title().c_str());
    editor_->setWindowTitle(title);
    if (hooks_.showTitle) hooks_.showTitle(logic_->title());
}

void ScriptPaneWidget::newScript() {
    logic_->newScript();
    editor_->clear();
    showTitle();
}

void ScriptPaneWidget::openScript() {
    const String path =
        FileDialogs::openFile(ScriptEditorLogic::kOpenTitle, ScriptEditorLogic::kFilter,
                              hooks_.workFolder ? hooks_.workFolder() : String());
    if (path.isEmpty()) return;
    const String text = logic_->open(path);
    editor_->setText(text);
    if (hooks_.setWorkFolderFrom) hooks_.setWorkFolderFrom(path);
    showTitle();
}

void ScriptPaneWidget::saveScript() {
    if (logic_->isNew()) {
        saveScriptAs();
        return;
    }
    WaitCursor wait;
    logic_->save(editor_->text());
    showTitle();
}

void ScriptPaneWidget::saveScriptAs() {
    const String path =
        FileDialogs::saveFile(ScriptEditorLogic::kSaveTitle, ScriptEditorLogic::kFilter,
                              hooks_.workFolder ? hooks_.workFolder() : String());
    if (path.isEmpty()) return;
    WaitCursor wait;
    logic_->save(editor_->text(), path);
    showTitle();
}

void ScriptPaneWidget::runScript() {
    // Scripts reach every connection: none may be reading on another thread.
    if (ConnectionBusy::any()) {
        MsgBox::alert("Hay una consulta en curso: espere a que termine o cancélela");
        return;
    }
    if (hooks_.busy) hooks_.busy(true);
    editor_->setReadOnly(true);
    String line;
    {
        WaitCursor wait;
        try {
            line = logic_->run(editor_->text());
        } catch (const GeneralException& e) {
            MsgBox::error(String(e.message()));
        }
    }
    editor_->setReadOnly(false);
    if (hooks_.busy) hooks_.busy(false);
    if (!line.isEmpty()) print(line);
}

void ScriptPaneWidget::explainScript() {
    const String folder = hooks_.workFolder ? hooks_.workFolder() : String();
    const String line = logic_->explain(editor_->text(), folder + String("trace.log"));
    if (!line.isEmpty()) print(line);
}

void ScriptPaneWidget::stopScript() {
    if (logic_) logic_->requestStop();
}

}  // namespace VORLIN
