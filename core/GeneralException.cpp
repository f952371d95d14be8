#include "core/GeneralException.h"

#include <cstdarg>
#include <cstdio>

namespace VORLIN {

GeneralException GeneralException::format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::string text(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0) std::vsnprintf(text.data(), text.size() + 1, fmt, args);
    va_end(args);
    return GeneralException(std::move(text));
}

}  // namespace VORLIN
