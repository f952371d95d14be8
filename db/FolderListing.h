// FolderListing: the "name|size|modified" listing of the files of one
// folder, as the local SQLite back end lists its databases and the server
// lists the files a client may fetch.
//
// Ownership: fills the caller's DataSet. Threads: any.
// Throws nothing: a folder that cannot be opened answers false.
#pragma once

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
};

}  // namespace VORLIN
