// FileText: reading a whole file into a String, and writing a whole file so
// that its name never shows a partial text (a temporary file beside it,
// renamed over the name when complete).
//
// Ownership: nothing is kept; the caller owns the texts. Threads: any.
// Throws nothing: failures answer false and leave the target as it was.
#pragma once

#include "core/String.h"

namespace VORLIN {

class FileText {
public:
    // The whole file, byte for byte, into `out`; false (out untouched) when
    // it cannot be opened or read.
    static bool read(const String& path, String& out);
    // Writes `data` into a new temporary file in the folder of `path`, then
    // renames it over `path`. False when any step fails; the temporary file
    // is then removed and `path` is untouched.
    static bool writeReplacing(const String& path, TextRef data);
};

}  // namespace VORLIN
