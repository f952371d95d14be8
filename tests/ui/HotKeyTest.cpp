// Hot-key texts: parsed, written back and mapped to Qt key sequences.
#include <gtest/gtest.h>

#include <QAction>

#include "ui/Command.h"

using namespace VORLIN;

TEST(HotKey, ParsesAndWritesTheTextForms) {
    HotKey k = HotKey::parse("Ctrl+Shift+S");
    EXPECT_TRUE(k.ctrl);
    EXPECT_TRUE(k.shift);
    EXPECT_FALSE(k.alt);
    EXPECT_FALSE(k.function);
    EXPECT_EQ(k.keyCode, 's');
    EXPECT_EQ(k.text(), "Ctrl+Shift+s");

    k = HotKey::parse("F5");
    EXPECT_TRUE(k.function);
    EXPECT_EQ(k.keyCode, 116);
    EXPECT_EQ(k.text(), "F5");

    k = HotKey::parse("Ctrl+F5");
    EXPECT_TRUE(k.ctrl);
    EXPECT_TRUE(k.function);
    EXPECT_EQ(k.text(), "Ctrl+F5");

    k = HotKey::parse("alt x");
    EXPECT_TRUE(k.alt);
    EXPECT_EQ(k.keyCode, 'x');
    EXPECT_EQ(k.text(), "Alt+x");

    k = HotKey::parse("S");
    EXPECT_EQ(k.keyCode, 'S');
    EXPECT_EQ(k.text(), "S");

    EXPECT_TRUE(HotKey::parse("").empty());
    EXPECT_EQ(HotKey::parse("").text(), "");
    // "Ctrl+F" is the letter f, not a function key.
    k = HotKey::parse("Ctrl+F");
    EXPECT_FALSE(k.function);
    EXPECT_EQ(k.keyCode, 'f');
}

TEST(HotKey, MapsToQtKeysWithoutTakingLettersForFunctionKeys) {
    EXPECT_EQ(HotKey::parse("F1").toKeySequence(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(HotKey::parse("F12").toKeySequence(), QKeySequence(Qt::Key_F12));
    // 'p' has the code F1 has (112): it stays the letter.
    EXPECT_EQ(HotKey::parse("Ctrl+p").toKeySequence(), QKeySequence(Qt::CTRL | Qt::Key_P));
    EXPECT_EQ(HotKey::parse("Ctrl+Shift+S").toKeySequence(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    EXPECT_EQ(HotKey::parse("Ctrl+F5").toKeySequence(), QKeySequence(Qt::CTRL | Qt::Key_F5));
    EXPECT_EQ(HotKey::parse("Alt+1").toKeySequence(), QKeySequence(Qt::ALT | Qt::Key_1));
    EXPECT_TRUE(HotKey().toKeySequence().isEmpty());
}

TEST(HotKey, ALinkedMenuEntryCarriesTheShortcut) {
    struct W {
        void run() {}
    } w;
    QAction action(QStringLiteral("Ejecutar"));
    Command<W> run(&w, &W::run, nullptr, "F5");
    run.link(&action);
    EXPECT_EQ(action.shortcut(), QKeySequence(Qt::Key_F5));
    EXPECT_EQ(run.hotKeyText(), "F5");
}
