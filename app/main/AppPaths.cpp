#include "app/main/AppPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace VORLIN {

namespace {

bool isUsableFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && path[0] == '/' && ::stat(path.c_str(), &st) == 0 &&
           S_ISDIR(st.st_mode) && ::access(path.c_str(), R_OK | X_OK) == 0;
}

}  // namespace

String AppPaths::withSlash(const String& folder) {
    std::string s = folder.toStdString();
    if (s.empty() || s.back() != '/') s += '/';
    return String(s);
}

String AppPaths::homeFolder() {
    const char* home = std::getenv("HOME");
    if (home && *home == '/') return withSlash(String(home));
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir)
        return withSlash(String(pw->pw_dir));
    return String("/tmp/");
}

String AppPaths::startFolder() {
    std::string cwd(4096, '\0');
    if (::getcwd(cwd.data(), cwd.size()) != nullptr) {
        cwd.resize(std::char_traits<char>::length(cwd.c_str()));
        if (isUsableFolder(cwd)) return withSlash(String(cwd));
    }
    return homeFolder();
}

bool AppPaths::makeFolders(const String& folder) {
    std::string path = folder.toStdString();
    if (path.empty()) return false;
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            const std::string part = path.substr(0, i);
            if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        }
    }
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

String AppPaths::userFolder(bool create) {
    std::string base;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg == '/')
        base = xdg;
    else
        base = homeFolder().toStdString() + ".config";
    String folder = withSlash(String(base)) + String("VORLIN/");
    if (create) makeFolders(folder);
    return folder;
}

}  // namespace VORLIN
