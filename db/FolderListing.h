// FolderListing: the "name|size|modified" listing of the files of one
// folder, as the local SQLite back end lists its databases and the server
// lists the files a client may fetch.
//
// Ownership: fills the caller's DataSet. Threads: any.
// Throws nothing: a folder that cannot be opened answers false.
#pragma once

#include <sys/stat.h>

#include <functional>

#include "core/String.h"

namespace VORLIN {

class DataSet;

class FolderListing {
public:
    // Clears `out` and gives it the columns "name" (string), "size" (double,
    // bytes) and "modified" (date, local time), with one row per regular
    // file of `folder` whose name matches `mask` (an fnmatch pattern; empty
    // means every file), sorted by name. With `skipHidden` names starting
    // with "." are left out. False (out left empty) when the folder cannot
    // be read.
    static bool list(const String& folder, const String& mask, bool skipHidden, DataSet& out);

    // Looks at one entry before it is listed: `st` holds what the entry
    // itself is (a link is not followed); answers false to leave it out, or
    // replaces `st` (with a link's target, say). Regular files are listed.
    using Examine = std::function<bool(int dirFd, const char* name, struct stat& st)>;
    // The same listing of an open folder (`dirFd`, closed here), each entry
    // shown to `examine` first. Without `examine` links are followed.
    static bool list(int dirFd, const String& mask, bool skipHidden, DataSet& out,
                     const Examine& examine);
};

}  // namespace VORLIN
