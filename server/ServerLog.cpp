#include "server/ServerLog.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <mutex>

namespace {

std::mutex& logMutex() {
    static std::mutex m;
    return m;
}

ServerLog::Sink& logSink() {
    static ServerLog::Sink sink;
    return sink;
}

}  // namespace

std::string ServerLog::oneLine(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            // "\r\n" (or a lone break) becomes one separator.
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out.append(" - ");
        } else {
            out.push_back(c);
        }
    }
    return out;
}

void ServerLog::setSink(Sink sink) {
    std::lock_guard<std::mutex> lock(logMutex());
    logSink() = std::move(sink);
}

void ServerLog::line(const char* format, ...) {
    char text[2048];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);

    std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &utc);
    std::string out = std::string("quelmir-server: ") + stamp + " " + oneLine(text);

    std::lock_guard<std::mutex> lock(logMutex());
    if (logSink()) {
        logSink()(out);
        return;
    }
    out.push_back('\n');
    std::fwrite(out.data(), 1, out.size(), stderr);
    std::fflush(stderr);
}
