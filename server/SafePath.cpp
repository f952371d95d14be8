#include "server/SafePath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

using VORLIN::String;

namespace {

bool isValidPart(std::string_view part) {
    if (part.empty() || part.size() > SafePath::kMaxNameLength) return false;
    if (part[0] == '.') return false;
    for (char c : part) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || c == '/' || c == '\\') return false;
    }
    return true;
}

std::atomic<bool> gForceWalk{false};
// -1 unknown, 0 the kernel has no openat2, 1 it has.
std::atomic<int> gHaveOpenat2{-1};

// The part of `path` below `root` ("" when path is not below it).
bool relativeTo(const std::string& root, const std::string& path, std::string& out) {
    if (path.size() <= root.size() + 1 || path.compare(0, root.size(), root) != 0 ||
        path[root.size()] != '/')
        return false;
    out = path.substr(root.size() + 1);
    // "." and ".." are refused outright (SQLite, for one, folds them away
    // by text before the system ever sees the path); so are empty parts.
    size_t start = 0;
    for (size_t i = 0; i <= out.size(); ++i) {
        if (i == out.size() || out[i] == '/') {
            std::string_view part(out.data() + start, i - start);
            if (part.empty() || part == "." || part == "..") return false;
            start = i + 1;
        }
    }
    return true;
}

int openat2Beneath(int dir, const char* relative, int flags, mode_t mode) {
    open_how how{};
    how.flags = uint64_t(flags);
    how.mode = (flags & (O_CREAT | O_TMPFILE)) ? mode : 0;
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0;; ++attempt) {
        long fd = ::syscall(SYS_openat2, dir, relative, &how, sizeof how);
        // EAGAIN: a rename raced with the walk; the kernel asks to retry.
        if (fd < 0 && (errno == EAGAIN || errno == EINTR) && attempt < 16) continue;
        return int(fd);
    }
}

// Part by part, following no link: every folder on the way is opened with
// O_NOFOLLOW, and so is the last part.
int walkBeneath(int dir, const std::string& relative, int flags, mode_t mode) {
    int current = ::fcntl(dir, F_DUPFD_CLOEXEC, 0);
    if (current < 0) return -1;
    size_t start = 0;
    for (;;) {
        size_t slash = relative.find('/', start);
        std::string part =
            relative.substr(start, slash == std::string::npos ? slash : slash - start);
        if (slash == std::string::npos) {
            int fd = ::openat(current, part.c_str(), flags | O_NOFOLLOW, mode);
            int e = errno;
            ::close(current);
            errno = e;
            return fd;
        }
        int next = ::openat(current, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        int e = errno;
        // A link on the way is not followed: said as ELOOP, not as a
        // missing folder.
        struct stat st {};
        if (next < 0 && e == ENOTDIR &&
            ::fstatat(current, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
            e = ELOOP;
        ::close(current);
        if (next < 0) {
            errno = e;
            return -1;
        }
        current = next;
        start = slash + 1;
    }
}

}  // namespace

void SafePath::forceWalk(bool on) {
    gForceWalk = on;
}

int SafePath::openBeneath(const std::string& root, const std::string& path, int flags,
                          mode_t mode) {
    std::string relative;
    if (!relativeTo(root, path, relative)) {
        errno = EXDEV;
        return -1;
    }
    int dir = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return -1;
    int fd = -1;
    if (!gForceWalk && gHaveOpenat2 != 0) {
        fd = openat2Beneath(dir, relative.c_str(), flags | O_CLOEXEC, mode);
        if (fd >= 0 || errno != ENOSYS) {
            gHaveOpenat2 = 1;
        } else {
            gHaveOpenat2 = 0;
        }
    }
    if (fd < 0 && (gForceWalk || gHaveOpenat2 == 0))
        fd = walkBeneath(dir, relative, flags | O_CLOEXEC, mode);
    int e = errno;
    ::close(dir);
    errno = e;
    return fd;
}

SafePath::Place SafePath::locate(const std::string& root, const std::string& path,
                                 struct stat* st) {
    struct stat local {};
    struct stat& info = st ? *st : local;
    // First the name itself, a link not followed.
    int fd = openBeneath(root, path, O_PATH | O_NOFOLLOW);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR ? Place::Missing : Place::Outside;
    bool ok = ::fstat(fd, &info) == 0;
    ::close(fd);
    if (!ok) return Place::Outside;
    if (!S_ISLNK(info.st_mode)) return Place::Inside;
    // A link: it counts only where it leads beneath the folder to something.
    fd = openBeneath(root, path, O_PATH);
    if (fd < 0) return Place::Outside;
    ok = ::fstat(fd, &info) == 0;
    ::close(fd);
    // The walk opens the link itself again: not followed, so not inside.
    return ok && !S_ISLNK(info.st_mode) ? Place::Inside : Place::Outside;
}

bool SafePath::isValidName(const String& name) {
    std::string_view v = name.view();
    // "C:name" would name a drive on the clients' platform, as in paths.
    return isValidPart(v) && !(v.size() >= 2 && v[1] == ':');
}

bool SafePath::isValidMask(const String& mask) {
    for (char c : mask.view()) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || c == '/' || c == '\\') return false;
    }
    return mask.length() <= kMaxNameLength;
}

bool SafePath::hasDatabaseExtension(const String& name) {
    std::string_view v = name.view();
    return v.size() > 3 && v.substr(v.size() - 3) == ".db";
}

bool SafePath::resolve(const std::string& root, const String& relative, std::string& out) {
    std::string_view v = relative.view();
    if (v.empty()) return false;
    // A drive letter ("C:...") would be absolute on the clients' platform.
    if (v.size() >= 2 && v[1] == ':') return false;
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= v.size(); ++i) {
        if (i == v.size() || v[i] == '/' || v[i] == '\\') {
            // An empty part is a leading separator (absolute path), a
            // doubled one or a trailing one: all refused.
            std::string_view part = v.substr(start, i - start);
            if (!isValidPart(part)) return false;
            parts.push_back(part);
            start = i + 1;
        }
    }
    out = root;
    for (std::string_view part : parts) {
        if (out.empty() || out.back() != '/') out.push_back('/');
        out.append(part);
    }
    return true;
}

std::string SafePath::realFolder(const std::string& folder) {
    char buffer[PATH_MAX];
    if (!::realpath(folder.c_str(), buffer)) return std::string();
    return buffer;
}

bool SafePath::staysInside(const std::string& root, const std::string& path) {
    std::string realRoot = realFolder(root);
    if (realRoot.empty()) return false;
    // The nearest ancestor that exists decides where the path really is:
    // the parts below it do not exist yet and cannot be links.
    std::string probe = path;
    std::string real;
    for (;;) {
        real = realFolder(probe);
        if (!real.empty()) break;
        size_t slash = probe.find_last_of('/');
        if (slash == std::string::npos || slash == 0) return false;
        // A ".." below a missing folder would be resolved by the system
        // against that folder only if it existed; it is never accepted.
        std::string_view part(probe.data() + slash + 1, probe.size() - slash - 1);
        if (part == ".." || part == ".") return false;
        probe.resize(slash);
    }
    if (real == realRoot) return true;
    std::string prefix = realRoot.back() == '/' ? realRoot : realRoot + "/";
    return real.compare(0, prefix.size(), prefix) == 0;
}
