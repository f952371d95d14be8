// LocalConnectDlg: the folder dialog in which a local SQLite connection
// asks for its folder of databases, "Seleccione una carpeta con bases de
// datos" (the toolkit's folder dialog, FileDialogs::chooseFolder, so that
// tests answer it through the FileDialogs responder).
// Threads: the UI thread. Nothing here throws.
#pragma once

#include "core/String.h"

namespace VORLIN {

class LocalConnectDlg {
public:
    static constexpr const char* kTitle = "Seleccione una carpeta con bases de datos";

    // True with the folder in `chosen` (ending in "/") when one was chosen.
    static bool choose(const String& startFolder, String& chosen);
};

}  // namespace VORLIN
