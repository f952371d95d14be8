// Entry point of Quelmir, the desktop client: builds the application
// object, runs it until the main window closes, and destroys it. Started
// where there is no display, it says so and, when Xvfb is installed, runs
// on a virtual display of its own.
#include <cstdio>

#include "app/main/HeapTuning.h"
#include "app/main/VirtualDisplay.h"
#include "app/main/ZaRavApp.h"
#include "core/GeneralException.h"

int main(int argc, char** argv) {
    VORLIN::tuneHeapForResults();
    VORLIN::VirtualDisplay virtualDisplay;
    if (!VORLIN::VirtualDisplay::haveDisplay()) {
        std::fprintf(stderr, "Quelmir: no hay pantalla (DISPLAY no está definido).\n");
        if (!virtualDisplay.start()) {
            std::fprintf(stderr, "Quelmir: no se puede iniciar una pantalla virtual: %s.\n",
                         virtualDisplay.error().c_str());
            return 1;
        }
        std::fprintf(stderr, "Quelmir: se usa la pantalla virtual %s (Xvfb).\n",
                     virtualDisplay.display().c_str());
    }
    try {
        VORLIN::ZaRavApp app(argc, argv);
        return app.run();
    } catch (const VORLIN::GeneralException& e) {
        std::fprintf(stderr, "Quelmir: %s\n", e.what());
        return 1;
    }
}
