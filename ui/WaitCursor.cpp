#include "ui/WaitCursor.h"

#include <QApplication>
#include <QCursor>

namespace VORLIN {

namespace {
bool switchOn = false;
}

WaitCursor::WaitCursor() {
    QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
}

WaitCursor::~WaitCursor() {
    QApplication::restoreOverrideCursor();
}

void WaitCursor::set(bool on) {
    if (on == switchOn) return;
    switchOn = on;
    if (on)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

bool WaitCursor::switchedOn() noexcept {
    return switchOn;
}

}  // namespace VORLIN
