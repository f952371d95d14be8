#include "ui/QtWaitWindow.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/MsgBox.h"

namespace VORLIN {

QtWaitWindow::QtWaitWindow(const String& text) {
    auto* frame = new QFrame(MsgBox::parentWindow(), Qt::Tool | Qt::FramelessWindowHint);
    window_.reset(frame);
    frame->setFrameShape(QFrame::Box);
    frame->setAccessibleName(QStringLiteral("Espere"));
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(24, 16, 24, 16);
    label_ = new QLabel(frame);
    label_->setMinimumWidth(320);
    label_->setWordWrap(true);
    layout->addWidget(label_);
    showText(text);
    if (QWidget* parent = frame->parentWidget()) {
        frame->adjustSize();
        frame->move(parent->geometry().center() - frame->rect().center());
    }
    frame->show();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

QtWaitWindow::~QtWaitWindow() = default;

void QtWaitWindow::showText(const String& text) {
    label_->setText(QString::fromUtf8(text.c_str(), int(text.length())));
    label_->setAccessibleName(label_->text());
    label_->repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

String QtWaitWindow::currentText() const {
    return String(label_->text().toUtf8().toStdString());
}

}  // namespace VORLIN
