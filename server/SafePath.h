// SafePath: the rules that keep every name and path a client sends inside
// the server's data folder.
//
// A database name (create, open, exists, backup) is one plain file name: not
// empty, at most 255 bytes, no "/" or "\", no NUL or other control byte,
// not starting with "." (so never "." or ".."), and not a drive ("C:..."
// as its first two bytes). A file path (the file
// requests) is a relative path whose parts, separated by "/" or "\", each
// follow the same rule; an absolute path or a drive ("C:") is refused.
// Besides the text rules, staysInside() checks the real location (symbolic
// links resolved) against the real data folder.
//
// The file system itself is walked beneath the folder: openBeneath() opens
// a path below the folder following only the symbolic links that stay
// beneath it (openat2 with RESOLVE_BENEATH; on kernels without openat2, a
// walk part by part with O_NOFOLLOW, which follows no link at all), and
// locate() tells whether a path leads to something inside, to nothing, or
// out of the folder (a link that leaves it, or one that leads nowhere).
// Between locate() and a later open by name the folder is trusted not to
// change under the server: clients cannot make links, only the people who
// own the folder can.
//
// Plain functions of their arguments; thread-safe; nothing throws.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <string>

#include "core/String.h"

class SafePath {
public:
    static constexpr size_t kMaxNameLength = 255;

    // One plain file name as described above.
    static bool isValidName(const VORLIN::String& name);
    // A listing mask (fnmatch pattern): no separators, no control bytes.
    static bool isValidMask(const VORLIN::String& mask);
    // Whether a database name is given with its ".db" already (the server
    // then takes it as the file name; otherwise ".db" is appended).
    static bool hasDatabaseExtension(const VORLIN::String& name);
    // root + "/" + the parts of `relative` joined with "/", when every part
    // is valid; false otherwise. An empty relative path is refused.
    static bool resolve(const std::string& root, const VORLIN::String& relative, std::string& out);
    // Whether `path` (which need not exist yet) lies inside `root` once the
    // symbolic links of its nearest existing ancestor are resolved.
    static bool staysInside(const std::string& root, const std::string& path);
    // The real absolute form of an existing folder ("" when it does not exist).
    static std::string realFolder(const std::string& folder);

    enum class Place { Missing, Inside, Outside };
    // Opens `path` (root + "/" + a relative path) with open(2)'s flags and
    // mode, resolved beneath `root` (which must be real and absolute). A
    // path that is not below root, holds a "." or ".." part, or meets a
    // link leaving root fails with EXDEV (or ELOOP); -1 with errno set.
    static int openBeneath(const std::string& root, const std::string& path, int flags,
                           mode_t mode = 0);
    // Where `path` leads: Missing when nothing is there (not even a link),
    // Inside (with its stat in `st`) when it resolves beneath root, Outside
    // otherwise, a dangling link included.
    static Place locate(const std::string& root, const std::string& path,
                        struct stat* st = nullptr);
    // Tests: forces the part-by-part walk even where openat2 exists.
    static void forceWalk(bool on);
};
