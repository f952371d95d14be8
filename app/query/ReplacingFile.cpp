#include "app/query/ReplacingFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

ReplacingFile::~ReplacingFile() {
    discard();
}

bool ReplacingFile::create(const VORLIN::String& path, bool open) {
    discard();
    if (path.isEmpty() || path.view().find('\0') != std::string_view::npos) return false;
    path_ = path.toStdString();
    std::vector<char> name(path_.begin(), path_.end());
    const char suffix[] = ".tmpXXXXXX";
    name.insert(name.end(), suffix, suffix + sizeof suffix);  // with the terminator
    int fd = ::mkstemp(name.data());
    if (fd < 0) return false;
    temp_ = name.data();
    // mkstemp makes the file private (0600): give it the usual mode.
    mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok && open) ok = stream_.open(VORLIN::String(temp_), "wb");
    if (!ok) discard();
    return ok;
}

bool ReplacingFile::commit() {
    if (temp_.empty()) return false;
    bool ok = true;
    if (stream_.isOpen()) {
        ok = stream_.flush();
        stream_.close();
    }
    if (ok) {
        int fd = ::open(temp_.c_str(), O_RDONLY);
        ok = fd >= 0 && ::fsync(fd) == 0;
        if (fd >= 0) ok = (::close(fd) == 0) && ok;
    }
    ok = ok && std::rename(temp_.c_str(), path_.c_str()) == 0;
    if (!ok) {
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

void ReplacingFile::discard() noexcept {
    stream_.close();
    if (!temp_.empty()) ::unlink(temp_.c_str());
    temp_.clear();
}
