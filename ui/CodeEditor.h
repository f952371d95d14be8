// CodeEditor: the program's editor of SQL and script text, a QScintilla
// editor with line numbers, brace matching, the current line highlighted,
// the system's fixed-width font and the words of a ColoringSet coloured by
// a ColoringLexer.
//
// Text goes in and out as UTF-8 bytes in String, exactly: bytes that are
// not UTF-8 are kept (and shown as byte marks), so a file read in and
// written back is unchanged. setText() starts a fresh text: no undo
// history, not modified. Inherited from QsciScintilla and meant for
// callers: isModified(), setModified(bool), modificationChanged(bool),
// textChanged(), isReadOnly(), setReadOnly(bool).
//
// Completion: the words given by setCompletionWords() (the table and column
// names of the selected connection) and the words of the colouring set are
// offered once two characters of a word are typed, and at once on
// Ctrl+Space; matching ignores case.
//
// Keyboard: Tab and Shift+Tab indent and unindent as in any code editor;
// Ctrl+Tab and Shift+Ctrl+Tab leave the editor for the next or previous
// control of the window's focus chain, so keyboard users are never trapped.
// Escape closes an open completion list; otherwise it is left to the
// window's shortcuts (QScintilla would keep it). Ctrl+Space is the editor's
// even where the window has a shortcut on it. The editor carries the
// accessible name its caller gives and the accessible description
// "Ctrl+Tab: siguiente control; Mayús+Ctrl+Tab: control anterior".
//
// Colours follow the editor's palette (which ColorScheme::apply sets for
// the whole program): paper, text, selection, current line, margin and
// brace marks, every colour kept readable on light and dark schemes.
// applyScheme() restyles; it also runs by itself when the palette changes.
//
// Owned by its Qt parent; owns its lexer. Threads: the UI thread only.
// Nothing here throws.
#pragma once

#include <vector>

#include <Qsci/qsciscintilla.h>

#include "core/String.h"
#include "ui/ColoringSet.h"

namespace VORLIN {

class CodeEditorCompletion;
class ColoringLexer;

class CodeEditor : public QsciScintilla {
    Q_OBJECT

public:
    // Completion shows after this many characters of a word.
    static constexpr int kCompletionThreshold = 2;

    explicit CodeEditor(const String& accessibleName, const ColoringSet& coloring = ColoringSet(),
                        QWidget* parent = nullptr);

    // Replaces the whole text (also when read-only); clears undo and the
    // modified flag.
    void setText(const String& text);
    // Replaces the whole text as one edit the person can undo (Ctrl+Z
    // brings the old text back); the text is then modified. Does nothing
    // on a read-only editor.
    void replaceText(const String& text);
    String text() const;

    void setColoringSet(const ColoringSet& coloring);
    const ColoringSet& coloringSet() const;

    // Replaces the caller's completion words (the set's words stay).
    void setCompletionWords(const std::vector<String>& words);

    // Takes the colours and the font again from the palette and the system.
    void applyScheme();

    // The lexer: its style numbers and colours (QsciScintilla::lexer()
    // gives the same object; its apis() is the completion source).
    ColoringLexer* coloringLexer() const { return lexer_; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;

private:
    // Shows every completion word that starts as the word before the caret;
    // unless requested, only after kCompletionThreshold characters.
    void showCompletion(bool requested);
    void updateMarginWidth();

    ColoringLexer* lexer_;
    CodeEditorCompletion* completion_;
    std::vector<String> callerWords_;
    bool applying_ = false;
};

}  // namespace VORLIN
