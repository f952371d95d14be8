#include "app/main/MainWnd.h"

#include <QStatusBar>

#include "ui/ImageStore.h"

namespace VORLIN {

MainWnd::MainWnd() {
    setWindowTitle(QString::fromUtf8(kTitle));
    setAccessibleName(QString::fromUtf8(kTitle));
    setWindowIcon(ImageStore::icon("DB_SOLUCION"));
    resize(1000, 700);
    statusBar()->setAccessibleName(QStringLiteral("Estado"));
}

MainWnd::~MainWnd() = default;

}  // namespace VORLIN
