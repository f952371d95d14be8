// The code editor: text in and out, colouring, completion, read-only,
// keyboard focus and colour schemes.
#include <gtest/gtest.h>

#include <Qsci/qsciabstractapis.h>
#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QVBoxLayout>
#include <QWidget>

#include "core/GeneralException.h"
#include "ui/CodeEditor.h"
#include "ui/ColorScheme.h"
#include "ui/ColoringLexer.h"
#include "ui/ColoringSet.h"

using namespace VORLIN;

namespace {

// The style of the byte at `pos` once the whole text is coloured.
int styleAt(CodeEditor& editor, int pos) {
    editor.recolor();
    return int(editor.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, (unsigned long)pos));
}

// The style at the first byte of the n-th occurrence (from 0) of `what`.
int styleOf(CodeEditor& editor, const char* what, int n = 0) {
    const std::string text = editor.text().toStdString();
    size_t at = text.find(what);
    for (int i = 0; i < n && at != std::string::npos; ++i)
        at = text.find(what, at + 1);
    EXPECT_NE(at, std::string::npos) << what;
    return at == std::string::npos ? -1 : styleAt(editor, int(at));
}

int group(int index) {
    return ColoringLexer::kFirstGroup + index;
}

void press(QWidget* target, int key, Qt::KeyboardModifiers mods = Qt::NoModifier,
           const QString& text = QString()) {
    QKeyEvent down(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(target, &up);
}

void type(QWidget* target, const char* text) {
    for (const char* p = text; *p; ++p)
        press(target, QChar(*p).toUpper().unicode(), Qt::NoModifier, QString(QChar(*p)));
}

QStringList completionsFor(CodeEditor& editor, const QString& prefix) {
    QStringList list;
    editor.lexer()->apis()->updateAutoCompletionList(QStringList{prefix}, list);
    list.sort(Qt::CaseInsensitive);
    return list;
}

QColor qcolor(Color c) {
    return QColor(c.red(), c.green(), c.blue());
}

// Scintilla keeps colours as 0xBBGGRR.
QColor editorBack(CodeEditor& editor, int style) {
    const long v = editor.SendScintilla(QsciScintillaBase::SCI_STYLEGETBACK, (unsigned long)style);
    return QColor(int(v & 255), int((v >> 8) & 255), int((v >> 16) & 255));
}

QColor editorFore(CodeEditor& editor, int style) {
    const long v = editor.SendScintilla(QsciScintillaBase::SCI_STYLEGETFORE, (unsigned long)style);
    return QColor(int(v & 255), int((v >> 8) & 255), int((v >> 16) & 255));
}

}  // namespace

TEST(ColoringSet, TheTwoSetsHoldExactlyTheirWordsAndCaseRules) {
    const ColoringSet sql = ColoringSet::sql();
    ASSERT_EQ(sql.groups().size(), 1u);
    EXPECT_TRUE(sql.lineComment().isEmpty());
    const char* sqlWords[] = {"SELECT", "FROM",    "WHERE",  "HAVING", "ORDER",  "GROUP", "BY",
                              "AND",    "OR",      "IN",     "LEFT",   "ON",     "INNER", "JOIN",
                              "IS",     "NULL",    "INSERT", "INTO",   "VALUES", "MAX",   "MIN",
                              "UPDATE", "DELETE",  "SET",    "WHEN",   "CASE",   "THEN",  "END",
                              "NOT",    "ISNULL",  "AS",     "SUM",    "AVG",    "COUNT", "DROP",
                              "VACUUM", "BETWEEN", "TABLE",  "INDEX",  "TRIGGER"};
    ASSERT_EQ(sql.groups()[0].words.size(), std::size(sqlWords));
    for (size_t i = 0; i < std::size(sqlWords); ++i)
        EXPECT_EQ(sql.groups()[0].words[i], sqlWords[i]);
    EXPECT_EQ(sql.groupOf("select"), 0);
    EXPECT_EQ(sql.groupOf("Trigger"), 0);
    EXPECT_EQ(sql.groupOf("LIMIT"), -1);

    const ColoringSet script = ColoringSet::script();
    ASSERT_EQ(script.groups().size(), 5u);
    EXPECT_EQ(script.lineComment(), "//");
    EXPECT_EQ(script.groups()[0].words.size(), std::size(sqlWords) + 3);
    EXPECT_EQ(script.groups()[0].words.back(), "LIMIT");
    EXPECT_EQ(script.groups()[1].words.size(), 5u);
    EXPECT_EQ(script.groups()[2].words.size(), 3u);
    EXPECT_EQ(script.groups()[3].words.size(), 24u);
    EXPECT_EQ(script.groups()[4].words.size(), 7u);
    // Each group its own colour.
    for (size_t i = 0; i < 5; ++i)
        for (size_t j = i + 1; j < 5; ++j)
            EXPECT_NE(script.groups()[i].color.value, script.groups()[j].color.value);
    // The script's words as written; SQL words in any case; a word written
    // as a case-sensitive group holds it belongs to that group.
    EXPECT_EQ(script.groupOf("hoyDia"), 1);
    EXPECT_EQ(script.groupOf("HOYDIA"), -1);
    EXPECT_EQ(script.groupOf("null"), 1);
    EXPECT_EQ(script.groupOf("NULL"), 0);
    EXPECT_EQ(script.groupOf("Null"), 0);
    EXPECT_EQ(script.groupOf("INSERT"), 3);
    EXPECT_EQ(script.groupOf("insert"), 0);
    EXPECT_EQ(script.groupOf("this"), 2);
    EXPECT_EQ(script.groupOf("DataSet"), 4);
    EXPECT_EQ(script.groupOf("dataset"), -1);
    EXPECT_EQ(script.groupOf("limit"), 0);
    // words(): every word once (INSERT, CASE and NULL sit in two groups).
    EXPECT_EQ(script.words().size(), std::size(sqlWords) + 3 + 5 + 3 + 24 + 7 - 2);

    ColoringSet full;
    for (int i = 0; i < ColoringSet::kMaxGroups; ++i)
        full.addGroup(" a ", Color::fromRgb(0, 0, 0), true);
    EXPECT_THROW(full.addGroup(" b ", Color::fromRgb(0, 0, 0), true), GeneralException);
    EXPECT_EQ(full.groups().size(), size_t(ColoringSet::kMaxGroups));
}

TEST(CodeEditor, TextGoesInAndOutAsTheSameUtf8BytesAndTracksModification) {
    CodeEditor editor("Script");
    const String text = "x = \"año\"\n// más ñandú\n\tSELECT 'á'\n";
    editor.setText(text);
    EXPECT_EQ(editor.text(), text);
    EXPECT_EQ(editor.QsciScintilla::text(), QString::fromUtf8(text.c_str()));
    EXPECT_FALSE(editor.isModified());
    EXPECT_EQ(editor.accessibleName(), QStringLiteral("Script"));

    // Bytes that are not UTF-8 (a Latin-1 file) come back unchanged.
    const String latin1 =
        "caf\xe9 \xf1"
        "and\xfa\n";
    editor.setText(latin1);
    EXPECT_EQ(editor.text(), latin1);

    editor.setText("");
    EXPECT_EQ(editor.text(), "");
    type(&editor, "ab");
    EXPECT_EQ(editor.text(), "ab");
    EXPECT_TRUE(editor.isModified());
    editor.setModified(false);
    EXPECT_FALSE(editor.isModified());
    // A fresh text starts unmodified and without undo history.
    editor.setText("nuevo");
    EXPECT_FALSE(editor.isModified());
    editor.undo();
    EXPECT_EQ(editor.text(), "nuevo");
}

TEST(CodeEditor, ReplaceTextIsOneEditThatUndoTakesBack) {
    CodeEditor editor("SQL", ColoringSet::sql());
    const String old = "SELECT * FROM caf\xe9;\n-- año\n";
    editor.setText(old);
    editor.replaceText("SELECT nombre\r\nFROM \"mis años\";");
    EXPECT_EQ(editor.text(), "SELECT nombre\r\nFROM \"mis años\";");
    EXPECT_TRUE(editor.isModified());
    editor.undo();
    EXPECT_EQ(editor.text(), old);
    EXPECT_FALSE(editor.isModified());
    editor.redo();
    EXPECT_EQ(editor.text(), "SELECT nombre\r\nFROM \"mis años\";");
    // A read-only editor keeps its text.
    editor.setReadOnly(true);
    editor.replaceText("DELETE FROM t;");
    EXPECT_EQ(editor.text(), "SELECT nombre\r\nFROM \"mis años\";");
}

TEST(CodeEditor, ColoursSqlKeywordsQuotedTextsAndNumbersInAnyCase) {
    CodeEditor editor("SQL", ColoringSet::sql());
    editor.setText(
        "SELECT nombre, año FROM t where x = 'a b' AND n > 12.5e3 -- c2 // d\n"
        "select \"Id\" from t2 WHERE 7abc = .5 OR n = 0x1F");
    EXPECT_EQ(styleOf(editor, "SELECT"), group(0));
    EXPECT_EQ(styleOf(editor, "nombre"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "año"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "where"), group(0));
    EXPECT_EQ(styleOf(editor, "'a b'"), ColoringLexer::kQuoted);
    EXPECT_EQ(styleOf(editor, "b'"), ColoringLexer::kQuoted);
    EXPECT_EQ(styleOf(editor, "AND"), group(0));
    EXPECT_EQ(styleOf(editor, "12.5e3"), ColoringLexer::kNumber);
    EXPECT_EQ(styleOf(editor, "5e3"), ColoringLexer::kNumber);
    // The SQL set has no comment marker.
    EXPECT_EQ(styleOf(editor, "-- c2"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "c2"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "select"), group(0));
    EXPECT_EQ(styleOf(editor, "\"Id\""), ColoringLexer::kQuoted);
    EXPECT_EQ(styleOf(editor, "t2"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "7abc"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, ".5"), ColoringLexer::kNumber);
    EXPECT_EQ(styleOf(editor, "0x1F"), ColoringLexer::kNumber);
}

TEST(CodeEditor, ColoursTheFiveScriptGroupsAndComments) {
    CodeEditor editor("Script", ColoringSet::script());
    editor.setText(
        "FUNCTION main()\n"
        "  DataSet d // una nota: IF \"x\" 12\n"
        "  x = null + NULL + hoyDia + this.y\n"
        "  INSERT insert function dataset \"// no\" 'ORDER'\n"
        "ENDFUNCTION\n");
    EXPECT_EQ(styleOf(editor, "FUNCTION"), group(3));
    EXPECT_EQ(styleOf(editor, "main"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "DataSet"), group(4));
    EXPECT_EQ(styleOf(editor, "// una"), ColoringLexer::kComment);
    EXPECT_EQ(styleOf(editor, "IF \"x\""), ColoringLexer::kComment);
    EXPECT_EQ(styleOf(editor, "12\n"), ColoringLexer::kComment);
    EXPECT_EQ(styleOf(editor, "null"), group(1));
    EXPECT_EQ(styleOf(editor, "NULL"), group(0));
    EXPECT_EQ(styleOf(editor, "hoyDia"), group(1));
    EXPECT_EQ(styleOf(editor, "this"), group(2));
    EXPECT_EQ(styleOf(editor, "y\n"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "INSERT"), group(3));
    EXPECT_EQ(styleOf(editor, "insert"), group(0));
    EXPECT_EQ(styleOf(editor, "function"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "dataset"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "// no"), ColoringLexer::kQuoted);
    EXPECT_EQ(styleOf(editor, "ORDER"), ColoringLexer::kQuoted);
    EXPECT_EQ(styleOf(editor, "ENDFUNCTION"), group(3));

    // Another set recolours at once.
    editor.setColoringSet(ColoringSet::sql());
    EXPECT_EQ(styleOf(editor, "FUNCTION"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "// una"), ColoringLexer::kDefault);
    EXPECT_EQ(styleOf(editor, "INSERT"), group(0));
}

TEST(CodeEditor, AQuotedTextSpansLinesAndClosingItRecoloursTheLinesBelow) {
    CodeEditor editor("SQL", ColoringSet::sql());
    editor.setText("x = 'abc\ndef\nghi' FROM\nSELECT\n");
    EXPECT_EQ(styleOf(editor, "def"), ColoringLexer::kQuoted);
    EXPECT_EQ(styleOf(editor, "ghi"), ColoringLexer::kQuoted);
    EXPECT_EQ(styleOf(editor, "FROM"), group(0));
    EXPECT_EQ(styleOf(editor, "SELECT"), group(0));

    // Only the first line is asked for after the edit: the lines below must
    // follow because the quote open at its end changed.
    editor.SendScintilla(QsciScintillaBase::SCI_DELETERANGE, 4UL, 1L);
    ASSERT_EQ(editor.text(), "x = abc\ndef\nghi' FROM\nSELECT\n");
    editor.recolor(0, 8);
    auto at = [&](const char* what) {
        const int pos = int(editor.text().toStdString().find(what));
        return int(editor.SendScintilla(QsciScintillaBase::SCI_GETSTYLEAT, (unsigned long)pos));
    };
    EXPECT_EQ(at("def"), ColoringLexer::kDefault);
    EXPECT_EQ(at("' FROM"), ColoringLexer::kQuoted);
    EXPECT_EQ(at("FROM"), ColoringLexer::kQuoted);
    EXPECT_EQ(at("SELECT"), ColoringLexer::kQuoted);
}

TEST(CodeEditor, CompletionOffersTheCallersWordsAndTheSetsWords) {
    CodeEditor editor("SQL", ColoringSet::sql());
    editor.setCompletionWords({"clientes", "cliente_id", "año", "Clave"});
    EXPECT_EQ(completionsFor(editor, "cl"), (QStringList{"Clave", "cliente_id", "clientes"}));
    EXPECT_EQ(completionsFor(editor, "añ"), QStringList{QString::fromUtf8("año")});
    EXPECT_EQ(completionsFor(editor, "se"), (QStringList{"SELECT", "SET"}));
    EXPECT_EQ(completionsFor(editor, "Upd"), QStringList{"UPDATE"});
    // New words replace the caller's old ones; the set's words stay.
    editor.setCompletionWords({"pedidos"});
    EXPECT_TRUE(completionsFor(editor, "cl").isEmpty());
    EXPECT_EQ(completionsFor(editor, "pe"), QStringList{"pedidos"});
    EXPECT_EQ(completionsFor(editor, "COU"), QStringList{"COUNT"});

    // Typing: nothing after one character, the list after two; choosing
    // with Return puts the whole word in.
    editor.setText("");
    type(&editor, "p");
    EXPECT_FALSE(editor.isListActive());
    type(&editor, "e");
    ASSERT_TRUE(editor.isListActive());
    press(&editor, Qt::Key_Return);
    EXPECT_FALSE(editor.isListActive());
    EXPECT_EQ(editor.text(), "pedidos");

    // A word with letters beyond ASCII counts them as letters.
    editor.setCompletionWords({"pedidos", "año"});
    editor.setText("x ");
    editor.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    press(&editor, Qt::Key_A, Qt::NoModifier, QStringLiteral("a"));
    press(&editor, Qt::Key_Ntilde, Qt::NoModifier, QString::fromUtf8("ñ"));
    EXPECT_EQ(editor.text(), "x añ");
    ASSERT_TRUE(editor.isListActive());
    press(&editor, Qt::Key_Return);
    EXPECT_EQ(editor.text(), "x año");

    // Ctrl+Space shows it at once, whatever was typed.
    editor.setText("SELECT * FROM ");
    editor.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    press(&editor, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(editor.isListActive());
    editor.cancelList();
    editor.setText("x u");
    editor.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    press(&editor, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(editor.isListActive());
    press(&editor, Qt::Key_Tab);
    EXPECT_EQ(editor.text(), "x UPDATE");
}

TEST(CodeEditor, ReadOnlyKeepsTheTextButTakesNewText) {
    CodeEditor editor("SQL", ColoringSet::sql());
    editor.setCompletionWords({"pedidos"});
    editor.setText("SELECT 1");
    editor.setReadOnly(true);
    editor.SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    type(&editor, "pe");
    press(&editor, Qt::Key_Space, Qt::ControlModifier);
    EXPECT_FALSE(editor.isListActive());
    press(&editor, Qt::Key_Backspace);
    EXPECT_EQ(editor.text(), "SELECT 1");
    EXPECT_FALSE(editor.isModified());
    editor.setText("SELECT 2");
    EXPECT_EQ(editor.text(), "SELECT 2");
    EXPECT_TRUE(editor.isReadOnly());
    editor.setReadOnly(false);
    type(&editor, "x");
    EXPECT_EQ(editor.text(), "xSELECT 2");
}

TEST(CodeEditor, TabIndentsButCtrlTabLeavesTheEditorBothWays) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* before = new QLineEdit(&window);
    auto* editor = new CodeEditor("Script", ColoringSet::script(), &window);
    auto* after = new QLineEdit(&window);
    layout->addWidget(before);
    layout->addWidget(editor);
    layout->addWidget(after);
    window.show();
    window.activateWindow();
    QApplication::processEvents();
    editor->setFocus();
    QApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), editor);

    press(editor, Qt::Key_Tab);
    EXPECT_EQ(editor->text(), "\t");
    EXPECT_EQ(QApplication::focusWidget(), editor);
    // Shift+Tab unindents and stays too.
    press(editor, Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(editor->text(), "");
    EXPECT_EQ(QApplication::focusWidget(), editor);
    press(editor, Qt::Key_Tab);

    press(editor, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(QApplication::focusWidget(), after);
    EXPECT_EQ(editor->text(), "\t");

    editor->setFocus();
    press(editor, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), before);
    editor->setFocus();
    press(editor, Qt::Key_Tab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(QApplication::focusWidget(), before);
    EXPECT_EQ(editor->text(), "\t");
    EXPECT_FALSE(editor->accessibleDescription().isEmpty());

    // Escape is left to the window's shortcuts unless a list is open;
    // Ctrl+Space stays the editor's.
    auto claims = [&](int key, Qt::KeyboardModifiers mods) {
        QKeyEvent override(QEvent::ShortcutOverride, key, mods);
        override.ignore();
        QApplication::sendEvent(editor, &override);
        return override.isAccepted();
    };
    EXPECT_FALSE(claims(Qt::Key_Escape, Qt::NoModifier));
    EXPECT_TRUE(claims(Qt::Key_Space, Qt::ControlModifier));
    EXPECT_TRUE(claims(Qt::Key_A, Qt::NoModifier));
    editor->setText("WH");
    editor->SendScintilla(QsciScintillaBase::SCI_DOCUMENTEND);
    press(editor, Qt::Key_Space, Qt::ControlModifier);
    ASSERT_TRUE(editor->isListActive());
    EXPECT_TRUE(claims(Qt::Key_Escape, Qt::NoModifier));
    press(editor, Qt::Key_Escape);
    EXPECT_FALSE(editor->isListActive());
    EXPECT_EQ(editor->text(), "WH");
}

TEST(CodeEditor, AChangeOfSchemeRestylesEveryColourReadably) {
    const ColorScheme saved = ColorScheme::current();
    ColorScheme::apply(ColorScheme::builtIn());
    CodeEditor editor("Script", ColoringSet::script());
    editor.setText("FUNCTION main()\nENDFUNCTION\n");
    const int styles = ColoringLexer::kFirstGroup + 5;

    auto checkReadable = [&](const ColorScheme& scheme) {
        const QColor paper = qcolor(scheme.solid(ColorScheme::ControlNormal));
        for (int s = 0; s < styles; ++s) {
            EXPECT_EQ(editorBack(editor, s), paper) << s;
            EXPECT_GE(ColoringLexer::contrast(editorFore(editor, s), paper),
                      ColoringLexer::kMinContrast)
                << s;
        }
    };
    checkReadable(ColorScheme::builtIn());
    const QColor lightKeyword = editorFore(editor, group(0));

    ColorScheme::apply(ColorScheme::dark());
    checkReadable(ColorScheme::dark());
    EXPECT_NE(editorFore(editor, group(0)), lightKeyword);
    // The hue stays: the dark scheme's keywords are still blue.
    EXPECT_GT(editorFore(editor, group(0)).blue(), editorFore(editor, group(0)).red());

    ColorScheme::apply(ColorScheme::builtIn());
    checkReadable(ColorScheme::builtIn());
    EXPECT_EQ(editorFore(editor, group(0)), lightKeyword);
    ColorScheme::apply(saved);
}
