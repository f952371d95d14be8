// Message boxes: captions, icons, the second button, and a real box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "ui/MsgBox.h"
#include "ui/QtScriptHost.h"

using namespace VORLIN;

TEST(MsgBox, CaptionsGiveTheIconUnlessTheCallerNamesOne) {
    std::vector<MsgBox::Shown> shown;
    MsgBox::setResponder([&](const MsgBox::Shown& s) {
        shown.push_back(s);
        return s.noButton.isEmpty() ? 0 : 1;
    });
    MsgBox::show("hecho", "INFO");
    MsgBox::show("cuidado", "ALERT");
    MsgBox::show("texto", "Mi script");
    EXPECT_FALSE(MsgBox::ask("¿Seguir?", "ASK", "NO"));
    QtScriptHost host;
    EXPECT_FALSE(host.confirm("¿Borrar?", "ASK", "Cancelar"));
    host.showMessage("hola", "Saludo");
    MsgBox::setResponder({});
    ASSERT_EQ(shown.size(), 6u);
    EXPECT_EQ(shown[0].icon, "INFO");
    EXPECT_EQ(shown[1].icon, "ALERT");
    EXPECT_EQ(shown[2].icon, "INFO");
    EXPECT_EQ(shown[2].caption, "Mi script");
    EXPECT_EQ(shown[3].icon, "ASK");
    EXPECT_EQ(shown[3].noButton, "NO");
    EXPECT_EQ(shown[4].noButton, "Cancelar");
    EXPECT_EQ(shown[5].caption, "Saludo");
}

TEST(MsgBox, ARealBoxAnswersWithTheButtonPressed) {
    auto press = [](const QString& label) {
        QTimer::singleShot(50, [label] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            EXPECT_EQ(box->windowTitle(), QStringLiteral("ASK"));
            for (QAbstractButton* b : box->buttons())
                if (b->text() == label) b->click();
        });
    };
    press(QStringLiteral("OK"));
    EXPECT_TRUE(MsgBox::ask("¿Seguir?", "ASK", "NO"));
    press(QStringLiteral("NO"));
    EXPECT_FALSE(MsgBox::ask("¿Seguir?", "ASK", "NO"));
}
