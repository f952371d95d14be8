// quelmir-bench-gui: the benches of the desktop layer, on real Qt widgets.
// Without a display they run on the offscreen platform (which paints into
// memory as a screen would); a person's own settings are never touched.
#include <cstdlib>
#include <string>

#include <QApplication>

#include "app/main/HeapTuning.h"
#include "bench/Bench.h"

int main(int argc, char** argv) {
    // The heap as the desktop program sets it up.
    VORLIN::tuneHeapForResults();
    if (!std::getenv("DISPLAY")) ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    ::setenv("XDG_CONFIG_HOME", "/tmp/quelmir-bench-gui-config", 0);
    // QApplication takes its own options out of argv; the rest name benches.
    QApplication app(argc, argv);
    return bench::runAll(argc, argv, "quelmir-bench-gui");
}
