// ScriptPaneWidget: the script side of the main window: the script editor
// (coloured by the script words, completing the selected connection's
// names), the output pane below it, and what the "Script" menu does with
// them through ScriptEditorLogic: new, open, save, save as, run "main"
// (stoppable), explain into "trace.log".
//
// The main window keeps the menu and tool-bar commands and forwards them
// here; `busy` tells it when a run starts and ends, so that it can leave
// only "Detener" active meanwhile.
//
// Ownership: owns its widgets and its logic; the script session belongs to
// the application. Threads: the UI thread. The commands throw what the
// logic throws (file errors); the main window's commands show them.
#pragma once

#include <functional>
#include <memory>

#include <QSplitter>

#include "app/main/ScriptEditorLogic.h"

class QPlainTextEdit;

namespace VORLIN {

class CodeEditor;
class ScriptSession;

class ScriptPaneWidget : public QSplitter {
public:
    struct Hooks {
        std::function<String()> workFolder;
        std::function<void(const String& path)> setWorkFolderFrom;
        // The title to show (the script's file, or "*NUEVO*").
        std::function<void(const String& title)> showTitle;
        // A run starts (true) or ends (false).
        std::function<void(bool running)> busy;
    };

    // `scripts` may be null: then nothing runs and the logic is absent.
    ScriptPaneWidget(ScriptSession* scripts, Hooks hooks, QWidget* parent = nullptr);
    ~ScriptPaneWidget() override;

    CodeEditor* editor() const noexcept { return editor_; }
    QPlainTextEdit* output() const noexcept { return output_; }
    ScriptEditorLogic* logic() noexcept { return logic_.get(); }
    bool running() const noexcept { return logic_ && logic_->running(); }

    void print(const String& text);
    void newScript();
    void openScript();
    void saveScript();
    void saveScriptAs();
    void runScript();
    void explainScript();
    void stopScript();

private:
    void showTitle();

    std::unique_ptr<ScriptEditorLogic> logic_;
    Hooks hooks_;
    CodeEditor* editor_ = nullptr;
    QPlainTextEdit* output_ = nullptr;
};

}  // namespace VORLIN
