// Message boxes: captions, icons, the second button, and a real box.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QLineEdit>
#include <QTimer>

#include "ui/MsgBox.h"
#include "ui/InputBox.h"
#include "ui/QtScriptHost.h"
#include "ui/QtWaitWindow.h"

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

TEST(QtWaitWindow, ShowsItsLineAndFollowsTheText) {
    QtWaitWindow wait("Actualizando la base de datos, pude tardarse unos minutos....");
    EXPECT_EQ(wait.currentText(), "Actualizando la base de datos, pude tardarse unos minutos....");
    wait.showText("Copiando filas: 500");
    EXPECT_EQ(wait.currentText(), "Copiando filas: 500");
    QtScriptHost host;
    auto fromHost = host.openWaitWindow("Espere");
    ASSERT_NE(fromHost, nullptr);
    EXPECT_EQ(static_cast<QtWaitWindow*>(fromHost.get())->currentText(), "Espere");
}

TEST(InputBox, ARealBoxGivesBackWhatWasTyped) {
    QTimer::singleShot(50, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        ASSERT_NE(dialog, nullptr);
        auto* edit = dialog->findChild<QLineEdit*>();
        ASSERT_NE(edit, nullptr);
        EXPECT_EQ(edit->text(), QStringLiteral("viejo"));
        edit->setText(QStringLiteral("nueva base"));
        for (QPushButton* b : dialog->findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("OK")) b->click();
    });
    String value = "viejo";
    EXPECT_TRUE(InputBox::ask("Crear nueva base", "Nombre: ", value));
    EXPECT_EQ(value, "nueva base");
}
