// ServerLog: the server's log, one line per event on standard error:
// "quelmir-server: <UTC time> <text>". Line breaks inside a text (the
// framework's error texts hold "\r\n") are written as " - ", so every event
// stays one line.
//
// A sink can replace standard error (tests); the default writes to stderr.
// Threads: any thread; lines never interleave. Nothing throws.
#pragma once

#include <functional>
#include <string>

class ServerLog {
public:
    using Sink = std::function<void(const std::string& line)>;

    static void line(const char* format, ...) __attribute__((format(printf, 1, 2)));
    // An empty sink restores standard error.
    static void setSink(Sink sink);
    // The text with line breaks folded (as written to the log).
    static std::string oneLine(const std::string& text);
};
