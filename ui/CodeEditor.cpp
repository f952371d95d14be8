#include "ui/CodeEditor.h"

#include <algorithm>
#include <cctype>

#include <Qsci/qsciabstractapis.h>
#include <QEvent>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QKeyEvent>
#include <QPalette>
#include <QSet>
#include <QStringList>

#include "ui/ColoringLexer.h"

namespace VORLIN {

// The words completion offers: the colouring set's and the caller's, each
// once. Owned by the lexer (Qt parent), which hands it to QScintilla.
class CodeEditorCompletion : public QsciAbstractAPIs {
public:
    explicit CodeEditorCompletion(QsciLexer* lexer) : QsciAbstractAPIs(lexer) {}

    void setWords(const std::vector<String>& setWords, const std::vector<String>& callerWords) {
        words_.clear();
        QSet<QString> seen;
        for (const auto* list : {&setWords, &callerWords})
            for (const String& w : *list) {
                QString word = QString::fromUtf8(w.c_str(), qsizetype(w.length()));
                // A word with blanks would break QScintilla's list.
                if (word.isEmpty() || word.contains(QLatin1Char(' ')) || seen.contains(word))
                    continue;
                seen.insert(word);
                words_.append(word);
            }
    }

    void updateAutoCompletionList(const QStringList& context, QStringList& list) override {
        const QString prefix = context.isEmpty() ? QString() : context.last();
        for (const QString& w : words_)
            if (w.startsWith(prefix, Qt::CaseInsensitive) && !list.contains(w)) list.append(w);
    }

    QStringList callTips(const QStringList&, int, QsciScintilla::CallTipsStyle,
                         QList<int>&) override {
        return {};
    }

private:
    QStringList words_;
};

namespace {

QColor mix(const QColor& a, const QColor& b, double t) {
    return QColor(int(a.red() * (1 - t) + b.red() * t), int(a.green() * (1 - t) + b.green() * t),
                  int(a.blue() * (1 - t) + b.blue() * t));
}

}  // namespace

CodeEditor::CodeEditor(const String& accessibleName, const ColoringSet& coloring, QWidget* parent)
    : QsciScintilla(parent), lexer_(new ColoringLexer(this)), completion_(nullptr) {
    setUtf8(true);
    lexer_->setColoringSet(coloring);
    completion_ = new CodeEditorCompletion(lexer_);
    completion_->setWords(coloring.words(), {});
    setLexer(lexer_);

    setMarginType(0, QsciScintilla::NumberMargin);
    setMarginLineNumbers(0, true);
    setMarginWidth(1, 4);
    setMarginWidth(2, 0);
    setBraceMatching(QsciScintilla::SloppyBraceMatch);
    setCaretLineVisible(true);
    setAutoIndent(true);
    setTabWidth(4);
    // The horizontal scroll bar only when a line is wider than the view.
    SendScintilla(SCI_SETSCROLLWIDTH, 1UL);
    SendScintilla(SCI_SETSCROLLWIDTHTRACKING, 1UL);
    // QScintilla's own completion reads the bytes of a UTF-8 word as Latin-1
    // letters (and then replaces too many bytes): the editor shows the list
    // itself, from the same word source.
    setAutoCompletionSource(QsciScintilla::AcsNone);
    setAutoCompletionCaseSensitivity(false);
    connect(this, &QsciScintillaBase::SCN_CHARADDED, this, [this](int ch) {
        if (ch >= 0x80 || (ch >= 0 && (std::isalnum(ch) || ch == '_'))) showCompletion(false);
    });

    setAccessibleName(
        QString::fromUtf8(accessibleName.c_str(), qsizetype(accessibleName.length())));
    setAccessibleDescription(
        QString::fromUtf8("Ctrl+Tab: siguiente control; Mayús+Ctrl+Tab: control anterior"));
    connect(this, &QsciScintilla::linesChanged, this, [this] { updateMarginWidth(); });
    applyScheme();
}

void CodeEditor::setText(const String& text) {
    const bool readOnly = isReadOnly();
    if (readOnly) SendScintilla(SCI_SETREADONLY, 0UL);
    SendScintilla(SCI_CLEARALL);
    // Appended with its length: embedded NUL bytes and bytes that are not
    // UTF-8 are kept as they are.
    if (!text.isEmpty()) SendScintilla(SCI_APPENDTEXT, (unsigned long)text.length(), text.c_str());
    SendScintilla(SCI_EMPTYUNDOBUFFER);
    SendScintilla(SCI_SETSAVEPOINT);
    SendScintilla(SCI_GOTOPOS, 0UL);
    if (readOnly) SendScintilla(SCI_SETREADONLY, 1UL);
}

void CodeEditor::replaceText(const String& text) {
    if (isReadOnly()) return;
    SendScintilla(SCI_SETTARGETSTART, 0UL);
    SendScintilla(SCI_SETTARGETEND, (unsigned long)SendScintilla(SCI_GETLENGTH));
    SendScintilla(SCI_REPLACETARGET, (unsigned long)text.length(), text.c_str());
    SendScintilla(SCI_GOTOPOS, 0UL);
}

String CodeEditor::text() const {
    const int n = int(SendScintilla(SCI_GETLENGTH));
    const QByteArray bytes = this->bytes(0, n);
    return String(TextRef(bytes.constData(), size_t(std::min<qsizetype>(bytes.size(), n))));
}

void CodeEditor::setColoringSet(const ColoringSet& coloring) {
    lexer_->setColoringSet(coloring);
    completion_->setWords(coloring.words(), callerWords_);
}

const ColoringSet& CodeEditor::coloringSet() const {
    return lexer_->coloringSet();
}

void CodeEditor::setCompletionWords(const std::vector<String>& words) {
    callerWords_ = words;
    completion_->setWords(lexer_->coloringSet().words(), callerWords_);
}

void CodeEditor::applyScheme() {
    if (applying_) return;
    applying_ = true;
    const QPalette pal = palette();
    const QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    lexer_->applyPalette(pal, font);

    const QColor paper = pal.color(QPalette::Active, QPalette::Base);
    const QColor text = ColoringLexer::readable(pal.color(QPalette::Active, QPalette::Text), paper);
    const QColor highlight = pal.color(QPalette::Active, QPalette::Highlight);
    setCaretForegroundColor(text);
    setCaretLineBackgroundColor(mix(paper, highlight, 0.12));
    setSelectionBackgroundColor(highlight);
    setSelectionForegroundColor(pal.color(QPalette::Active, QPalette::HighlightedText));

    const QColor margin = pal.color(QPalette::Active, QPalette::Window);
    setMarginsBackgroundColor(margin);
    setMarginsForegroundColor(ColoringLexer::readable(mix(text, margin, 0.35), margin));
    setMarginsFont(font);

    const QColor braceBack = mix(paper, highlight, 0.35);
    setMatchedBraceBackgroundColor(braceBack);
    setMatchedBraceForegroundColor(ColoringLexer::readable(text, braceBack));
    setUnmatchedBraceBackgroundColor(paper);
    setUnmatchedBraceForegroundColor(ColoringLexer::readable(QColor(210, 0, 0), paper));
    updateMarginWidth();
    applying_ = false;
}

void CodeEditor::showCompletion(bool requested) {
    // The word being written: the letters, digits, '_' and non-ASCII bytes
    // just before the caret (none after a blank: then every word shows).
    const int pos = int(SendScintilla(SCI_GETCURRENTPOS));
    const int from = std::max(0, pos - 256);
    const QByteArray before = bytes(from, pos);
    const qsizetype end = std::min<qsizetype>(before.size(), pos - from);
    qsizetype start = end;
    while (start > 0) {
        const unsigned char c = static_cast<unsigned char>(before[start - 1]);
        if (!(std::isalnum(c) || c == '_' || c >= 0x80)) break;
        --start;
    }
    const QByteArray prefix = before.mid(start, end - start);
    if (!requested) {
        // Characters, not bytes; numbers are not completed.
        int chars = 0;
        for (char c : prefix)
            if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++chars;
        if (chars < kCompletionThreshold || std::isdigit(static_cast<unsigned char>(prefix[0])))
            return;
    }
    QStringList list;
    completion_->updateAutoCompletionList(QStringList{QString::fromUtf8(prefix)}, list);
    if (list.isEmpty()) return;
    SendScintilla(SCI_AUTOCSETIGNORECASE, 1UL);
    SendScintilla(SCI_AUTOCSETORDER, (unsigned long)SC_ORDER_PERFORMSORT);
    SendScintilla(SCI_AUTOCSETSEPARATOR, (unsigned long)' ');
    const QByteArray joined = list.join(QLatin1Char(' ')).toUtf8();
    SendScintilla(SCI_AUTOCSHOW, (unsigned long)prefix.size(), joined.constData());
}

void CodeEditor::updateMarginWidth() {
    // Room for the digits of the last line number and one more.
    const int digits = int(QString::number(std::max(1, lines())).size()) + 1;
    setMarginWidth(0, QString(std::max(3, digits), QLatin1Char('9')));
}

bool CodeEditor::event(QEvent* event) {
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        const auto mods = key->modifiers() & ~Qt::KeypadModifier;
        // Completion on request wins over a window shortcut on the same keys.
        if (key->key() == Qt::Key_Space && mods == Qt::ControlModifier) {
            event->accept();
            return true;
        }
        // QScintilla claims Escape for itself; with no list or tip to close
        // it belongs to the window (a running script's "Detener").
        if (key->key() == Qt::Key_Escape && mods == Qt::NoModifier && !isListActive() &&
            !isCallTipActive()) {
            event->ignore();
            return QAbstractScrollArea::event(event);
        }
    }
    return QsciScintilla::event(event);
}

void CodeEditor::keyPressEvent(QKeyEvent* event) {
    const auto mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if ((key == Qt::Key_Tab || key == Qt::Key_Backtab) && (mods & Qt::ControlModifier) &&
        !(mods & Qt::AltModifier)) {
        const bool back = key == Qt::Key_Backtab || (mods & Qt::ShiftModifier);
        if (isListActive()) cancelList();
        // QScintilla keeps plain Tab for itself; the widget's own focus
        // chain moves on.
        QWidget::focusNextPrevChild(!back);
        event->accept();
        return;
    }
    if (key == Qt::Key_Space && mods == Qt::ControlModifier) {
        if (!isReadOnly()) showCompletion(true);
        event->accept();
        return;
    }
    QsciScintilla::keyPressEvent(event);
}

void CodeEditor::changeEvent(QEvent* event) {
    QsciScintilla::changeEvent(event);
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        applyScheme();
}

}  // namespace VORLIN
