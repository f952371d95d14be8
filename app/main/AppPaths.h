// AppPaths: the places the program keeps its files on this system.
// - the start folder: the current directory, absolute and ending in "/";
//   the user's home when the current directory cannot be used (removed,
//   unreadable). Resource files are looked up there and it is the first
//   work folder;
// - the per-user folder: "VORLIN/" under $XDG_CONFIG_HOME (by default
//   ~/.config), created when missing; the configuration store lives there.
//
// Stateless. Threads: any. Nothing here throws; a folder that cannot be
// created is answered all the same (the store then reports its failure).
#pragma once

#include "core/String.h"

namespace VORLIN {

class AppPaths {
public:
    static String startFolder();
    static String homeFolder();
    // Creates the folder (and its parents) when `create`.
    static String userFolder(bool create = true);
    // `folder` ending in "/".
    static String withSlash(const String& folder);
    // mkdir -p; true when the folder exists afterwards.
    static bool makeFolders(const String& folder);
};

}  // namespace VORLIN
