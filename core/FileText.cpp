#include "core/FileText.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace VORLIN {

bool FileText::read(const String& path, String& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::string text;
    char chunk[65536];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        text.append(chunk, n);
    bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) return false;
    out = String(TextRef(text.data(), text.size()));
    return true;
}

bool FileText::writeReplacing(const String& path, TextRef data) {
    if (path.isEmpty()) return false;
    std::string name(path.c_str(), path.length());
    std::vector<char> temp(name.begin(), name.end());
    const char suffix[] = ".tmpXXXXXX";
    temp.insert(temp.end(), suffix, suffix + sizeof suffix);  // with the terminator
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return false;
    bool ok = true;
    const char* p = data.data();
    size_t left = data.size();
    while (ok && left > 0) {
        ssize_t w = ::write(fd, p, left);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            ok = false;
            break;
        }
        p += w;
        left -= size_t(w);
    }
    // mkstemp makes the file private (0600): give it the usual mode.
    mode_t mask = ::umask(0);
    ::umask(mask);
    ok = ok && ::fchmod(fd, 0666 & ~mask) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && std::rename(temp.data(), name.c_str()) == 0;
    if (!ok) ::unlink(temp.data());
    return ok;
}

}  // namespace VORLIN
