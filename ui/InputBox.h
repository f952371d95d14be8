// InputBox: the modal one-line question ("Crear nueva base", "Nombre: ").
// A responder installed with setResponder answers instead of a window
// (tests). Threads: the UI thread only. Nothing here throws.
#pragma once

#include <functional>

#include "core/String.h"

namespace VORLIN {

class InputBox {
public:
    // True with the text in `value` on OK; `value` starts the field.
    static bool ask(const String& title, const String& prompt, String& value);

    // Answers (title, prompt, value) -> accepted.
    using Responder = std::function<bool(const String& title, const String& prompt, String& value)>;
    static void setResponder(Responder responder);
};

}  // namespace VORLIN
