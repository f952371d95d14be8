// ExpandColumnDlg: "Zoom de la propiedad", the modal window in which one
// cell of the query designer's grid is edited at length: a multi-line
// editor with SQL colouring, OK and "Cancelar". OK asks `check` (when
// given) whether the text may go into the cell; a refusal is shown
// ("ALERT") and the window stays open with the text as typed.
//
// Owned by the caller (a stack object). Threads: the UI thread. Nothing
// here throws.
#pragma once

#include <functional>

#include <QDialog>

#include "core/String.h"

class QDialogButtonBox;

namespace VORLIN {
class CodeEditor;
}  // namespace VORLIN

class ExpandColumnDlg : public QDialog {
public:
    static constexpr const char* kTitle = "Zoom de la propiedad";
    // The reason `text` is refused, or empty.
    using Check = std::function<VORLIN::String(const VORLIN::String& text)>;

    // `property`: the column title the editor is named for.
    ExpandColumnDlg(const VORLIN::String& property, const VORLIN::String& text, Check check = {},
                    QWidget* parent = nullptr);

    VORLIN::String text() const;
    VORLIN::CodeEditor* editor() const noexcept { return editor_; }
    QDialogButtonBox* buttons() const noexcept { return buttons_; }

    void accept() override;

private:
    VORLIN::CodeEditor* editor_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
    Check check_;
};
