#include "server/SqliteGuard.h"

#include <sqlite3.h>
#include <strings.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
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

bool is(const char* a, const char* b) {
    return a && ::strcasecmp(a, b) == 0;
}

int authorize(void*, int action, const char* arg1, const char* arg2, const char*, const char*) {
    switch (action) {
        case SQLITE_ATTACH:
            return SqliteGuard::isAllowedFile(arg1) ? SQLITE_OK : SQLITE_DENY;
        case SQLITE_PRAGMA:
            return SqliteGuard::isAllowedPragma(arg1, arg2) ? SQLITE_OK : SQLITE_DENY;
        case SQLITE_FUNCTION:
            return is(arg2, "fts3_tokenizer") || is(arg2, "load_extension") ? SQLITE_DENY
                                                                            : SQLITE_OK;
        default:
            return SQLITE_OK;
    }
}

int onOpen(sqlite3* db, const char**, const void*) {
    SqliteGuard::guard(db);
    return SQLITE_OK;
}

}  // namespace

void SqliteGuard::guard(sqlite3* db) {
    if (!db) return;
    sqlite3_db_config(db, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_LOAD_EXTENSION, 0, nullptr);
    sqlite3_db_config(db, SQLITE_DBCONFIG_ENABLE_FTS3_TOKENIZER, 0, nullptr);
    sqlite3_set_authorizer(db, &authorize, nullptr);
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
    for (const std::string& r : roots()) {
        struct stat st {};
        switch (SafePath::locate(r, name, &st)) {
            case SafePath::Place::Missing:
                return true;
            case SafePath::Place::Inside:
                // A FIFO or a device would block or worse.
                return S_ISREG(st.st_mode);
            case SafePath::Place::Outside:
                break;
        }
    }
    return false;
}

bool SqliteGuard::isAllowedPragma(const char* name, const char* value) {
    if (!name) return false;
    if (is(name, "temp_store_directory") || is(name, "data_store_directory")) return false;
    // Reading these is harmless; setting them is not the client's to do.
    if (!value) return true;
    if (is(name, "hard_heap_limit") || is(name, "soft_heap_limit") || is(name, "mmap_size"))
        return false;
    if (is(name, "locking_mode")) return is(value, "normal");
    if (is(name, "cache_size")) {
        char* end = nullptr;
        errno = 0;
        long long pages = std::strtoll(value, &end, 10);
        if (errno != 0 || end == value || *end != '\0') return false;
        // Negative: KiB; positive: pages, counted at the usual 4 KiB.
        if (pages <= -LLONG_MAX / 2 || pages >= LLONG_MAX / 8) return false;
        long long kib = pages >= 0 ? pages * 4 : -pages;
        return kib <= kMaxCacheKiB;
    }
    return true;
}
