#include "ui/MsgBox.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "ui/ImageStore.h"
#include "ui/SApp.h"

namespace VORLIN {

namespace {

MsgBox::Responder& responder() {
    static MsgBox::Responder r;
    return r;
}

bool isIconName(const String& s) {
    return s == "ERROR" || s == "INFO" || s == "ALERT" || s == "ASK";
}

QString q(const String& s) {
    return QString::fromUtf8(s.c_str(), int(s.length()));
}

}  // namespace

void MsgBox::setResponder(Responder r) {
    responder() = std::move(r);
}

QWidget* MsgBox::parentWindow() {
    if (QWidget* w = QApplication::activeModalWidget()) return w;
    if (QWidget* w = QApplication::activeWindow()) return w;
    if (SApp* app = SApp::instance()) return app->mainWindow();
    return nullptr;
}

void MsgBox::show(const String& text, const String& caption, const String& icon) {
    Shown shown{text, caption, icon, String()};
    if (shown.icon.isEmpty()) shown.icon = isIconName(caption) ? caption : String("INFO");
    exec(shown);
}

bool MsgBox::ask(const String& text, const String& caption, const String& noLabel,
                 const String& icon) {
    Shown shown{text, caption, icon, noLabel.isEmpty() ? String("NO") : noLabel};
    if (shown.icon.isEmpty()) shown.icon = isIconName(caption) ? caption : String("ASK");
    return exec(shown) == 0;
}

int MsgBox::exec(const Shown& shown) {
    if (const Responder& r = responder()) return r(shown);

    QMessageBox box(parentWindow());
    box.setWindowTitle(q(shown.caption));
    box.setText(q(shown.text));
    box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    QIcon icon = ImageStore::icon(shown.icon);
    if (!icon.isNull()) box.setIconPixmap(icon.pixmap(40, 40));
    box.setAccessibleName(q(shown.caption));
    box.setAccessibleDescription(q(shown.text));
    QPushButton* ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
    ok->setAccessibleName(QStringLiteral("OK"));
    QPushButton* no = nullptr;
    if (!shown.noButton.isEmpty()) {
        no = box.addButton(q(shown.noButton), QMessageBox::RejectRole);
        no->setAccessibleName(q(shown.noButton));
        box.setEscapeButton(no);
    } else {
        box.setEscapeButton(ok);
    }
    box.setDefaultButton(ok);
    box.exec();
    return box.clickedButton() == ok ? 0 : 1;
}

}  // namespace VORLIN
