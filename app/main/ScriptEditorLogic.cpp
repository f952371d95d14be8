#include "app/main/ScriptEditorLogic.h"

#include "app/main/ScriptRunReport.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "core/GeneralException.h"
#include "script/Rutina.h"
#include "script/ScriptFunction.h"
#include "script/ScriptSession.h"

namespace VORLIN {

namespace {

bool blank(const String& text) {
    for (char c : text.toStdString())
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n') return false;
    return true;
}

[[noreturn]] void failWith(const char* format, const String& path) {
    String text;
    text.format(format, path.c_str());
    throw GeneralException(text.toStdString());
}

}  // namespace

ScriptEditorLogic::ScriptEditorLogic(ScriptSession& session) : session_(session) {}

ScriptEditorLogic::~ScriptEditorLogic() = default;

void ScriptEditorLogic::newScript() {
    path_ = kNewName;
    session_.rutina().clear();
}

String ScriptEditorLogic::readFile(const String& path) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) failWith(kCannotRead, path);
    std::string bytes;
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    const bool bad = std::ferror(f) != 0;
    std::fclose(f);
    if (bad) failWith(kCannotRead, path);
    return String(bytes);
}

void ScriptEditorLogic::writeFile(const String& path, const String& bytes) {
    // Beside the target, so the rename stays on one file system.
    std::string temp = path.toStdString() + ".XXXXXX";
    const int fd = ::mkstemp(temp.data());
    if (fd < 0) failWith(kCannotWrite, path);
    const char* p = bytes.c_str();
    size_t left = bytes.length();
    bool ok = true;
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        p += n;
        left -= size_t(n);
    }
    ok = ok && ::fsync(fd) == 0;
    // The file gets the usual permissions, not mkstemp's private ones.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ok = ::fchmod(fd, 0666 & ~mask) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        failWith(kCannotWrite, path);
    }
}

String ScriptEditorLogic::open(const String& path) {
    String text = readFile(path);
    session_.rutina().clear();
    path_ = path;
    return text;
}

void ScriptEditorLogic::save(const String& text, const String& path) {
    const String target = path.isEmpty() ? path_ : path;
    if (target.isEmpty() || target == kNewName) failWith(kCannotWrite, target);
    writeFile(target, text);
    path_ = target;
}

void ScriptEditorLogic::setKeepAlive(std::function<void()> keepAlive, unsigned interval) {
    keepAlive_ = std::move(keepAlive);
    interval_ = interval ? interval : 1;
}

String ScriptEditorLogic::run(const String& text) {
    if (blank(text) || running_) return String();
    running_ = true;
    stop_ = false;
    ScriptFunction::setStopCheck(
        [this] {
            if (keepAlive_) keepAlive_();
            return stop_;
        },
        interval_);
    int errors = 0;
    try {
        errors = session_.run(text);
    } catch (...) {
        ScriptFunction::setStopCheck({});
        running_ = false;
        throw;
    }
    ScriptFunction::setStopCheck({});
    running_ = false;
    return ScriptRunReport::runLine(errors);
}

String ScriptEditorLogic::explain(const String& text, const String& traceFile) {
    if (blank(text)) return String();
    const int before = session_.rutina().errorReports();
    String listing = session_.explain(text);
    if (session_.rutina().errorReports() != before || listing.isEmpty()) return String();
    writeFile(traceFile, listing);
    return ScriptRunReport::explainLine(0);
}

}  // namespace VORLIN
