// GeneralException: the one exception type of the framework.
//
// Every framework operation that fails throws a GeneralException by value
// carrying a message of the form "Class.operation: text". Handlers read the
// message with what() or message(). The code word is not used by the core
// and is free for callers (0 by default).
#pragma once

#include <exception>
#include <string>

namespace VORLIN {

class GeneralException : public std::exception {
public:
    explicit GeneralException(std::string message, int code = 0)
        : code_(code), message_(std::move(message)) {}

    // printf-style construction: GeneralException::format("x (%d)", n).
    static GeneralException format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }
    int code() const noexcept { return code_; }

private:
    int code_;
    std::string message_;
};

}  // namespace VORLIN
