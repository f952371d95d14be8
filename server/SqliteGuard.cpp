#include "server/SqliteGuard.h"

#include <sqlite3.h>
#include <strings.h>
#include <unistd.h>

#include <climits>
#include <mutex>
#include <vector>

#include "server/SafePath.h"

namespace {

std::mutex& rootsMutex() {
    static std::mutex m;
    return m;
}

std::vector<std::string>& roots() {
    static std::vector<std::string> r;
    return r;
}

int authorize(void*, int action, const char* arg1, const char*, const char*, const char*) {
    if (action == SQLITE_ATTACH) return SqliteGuard::isAllowedFile(arg1) ? SQLITE_OK : SQLITE_DENY;
    if (action == SQLITE_PRAGMA && arg1 &&
        (::strcasecmp(arg1, "temp_store_directory") == 0 ||
         ::strcasecmp(arg1, "data_store_directory") == 0))
        return SQLITE_DENY;
    return SQLITE_OK;
}

int onOpen(sqlite3* db, const char**, const void*) {
    SqliteGuard::guard(db);
    return SQLITE_OK;
}

}  // namespace

void SqliteGuard::guard(sqlite3* db) {
    if (db) sqlite3_set_authorizer(db, &authorize, nullptr);
}

void SqliteGuard::allowRoot(const std::string& folder) {
    std::string real = SafePath::realFolder(folder);
    if (real.empty()) return;
    std::lock_guard<std::mutex> lock(rootsMutex());
    if (roots().empty()) sqlite3_auto_extension(reinterpret_cast<void (*)(void)>(&onOpen));
    for (const std::string& r : roots())
        if (r == real) return;
    roots().push_back(real);
}

bool SqliteGuard::isAllowedFile(const char* file) {
    // No literal name (an expression): where it points is unknown.
    if (!file) return false;
    std::string name(file);
    if (name.empty() || name == ":memory:") return true;
    // URI names carry options (and may name other files); not for clients.
    if (name.compare(0, 5, "file:") == 0) return false;
    if (name[0] != '/') {
        char cwd[PATH_MAX];
        if (!::getcwd(cwd, sizeof cwd)) return false;
        name = std::string(cwd) + "/" + name;
    }
    std::lock_guard<std::mutex> lock(rootsMutex());
    for (const std::string& r : roots())
        if (SafePath::staysInside(r, name)) return true;
    return false;
}
