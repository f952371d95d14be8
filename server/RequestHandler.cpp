#include "server/RequestHandler.h"

#include <dirent.h>
#include <fcntl.h>
#include <fnmatch.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "server/RequestDecoder.h"
#include "server/SafePath.h"
#include "server/ServerLog.h"
#include "server/SqliteGuard.h"
#include "server/StreamedRows.h"
#include "server/UserFile.h"

using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::DateTime;
using VORLIN::GeneralException;
using VORLIN::NetMessage;
using VORLIN::SqliteLocalConnection;
using VORLIN::String;
using VORLIN::TableDataset;
namespace RC = VORLIN::RemoteCode;

namespace {

// How long the lock-wait sleeps, call after call: short at first, so that a
// lock held for a moment by another client costs little.
constexpr int kBusySteps[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
// The local back end's own retry loops (after its busy handler gave up) are
// not used: the session's busy handler below already waited the whole busy
// time-out, and each retry would wait it again.
constexpr int kRetryMillis = 0;
// Room kept in a message for the code and lengths around a file's bytes.
constexpr uint32_t kFrameOverhead = 64;

std::unique_ptr<NetMessage> answer(uint8_t code) {
    return std::make_unique<NetMessage>(code);
}

std::unique_ptr<NetMessage> failure(const String& text) {
    auto m = answer(RC::kFailure);
    m->addString(text);
    return m;
}

std::string systemError() {
    return std::strerror(errno);
}

// The column names of a set as "a|b|c|".
String namesOf(const DataSet& set) {
    String names;
    int n = set.header() ? set.header()->count() : 0;
    for (int i = 0; i < n; ++i)
        names.append(set.columnName(i)).append('|');
    return names;
}

void addModel(NetMessage& m, const DataSet& set) {
    DataRow model = set.header() ? DataRow(*set.header()) : DataRow();
    m.addString(namesOf(set)).addRow(model);
}

// Closes a descriptor at the end of a scope.
struct FileCloser {
    int fd;
    ~FileCloser() {
        if (fd >= 0) ::close(fd);
    }
};

// Reads a whole regular file (open in `fd`, closed here) of at most
// `limit` bytes.
std::string readWholeFile(int fd, uint32_t limit, const String& shown) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw GeneralException::format("%s no es un archivo", shown.c_str());
    }
    if (uint64_t(st.st_size) > limit) {
        ::close(fd);
        throw GeneralException::format("El archivo %s es demasiado grande (%lld bytes)",
                                       shown.c_str(), static_cast<long long>(st.st_size));
    }
    // Opened without blocking (a FIFO must not wedge the session); a
    // regular file reads the same either way.
    std::string data(size_t(st.st_size), '\0');
    size_t got = 0;
    while (got < data.size()) {
        ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += size_t(n);
    }
    ::close(fd);
    data.resize(got);
    return data;
}

void writeAll(int fd, const std::string& data, const String& shown) {
    size_t done = 0;
    while (done < data.size()) {
        ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0)
            throw GeneralException::format("No se pudo escribir el archivo %s: %s", shown.c_str(),
                                           systemError().c_str());
        done += size_t(n);
    }
}

// One lock per database file for updateDatabase: two clients updating the
// same database at once would build it in the same temporary file; the
// second waits for the first and then updates the result.
std::mutex& updateLock(const std::string& file) {
    static std::mutex guard;
    static std::map<std::string, std::unique_ptr<std::mutex>> locks;
    std::lock_guard<std::mutex> lock(guard);
    std::unique_ptr<std::mutex>& m = locks[file];
    if (!m) m = std::make_unique<std::mutex>();
    return *m;
}

}  // namespace

std::unique_ptr<NetMessage> RequestHandler::failureAnswer(const String& text) {
    return failure(text);
}

std::string RequestHandler::tooLargeText(uint64_t bytes, uint32_t limit) {
    char text[160];
    if (bytes)
        std::snprintf(text, sizeof text,
                      "La respuesta (%llu bytes) supera el límite de %u bytes del servidor "
                      "(--max-answer)",
                      static_cast<unsigned long long>(bytes), limit);
    else
        std::snprintf(text, sizeof text,
                      "La respuesta supera el límite de %u bytes del servidor (--max-answer)",
                      limit);
    return text;
}

RequestHandler::RequestHandler(Context context)
    : context_(std::move(context)),
      busyTimeoutMs_(context_.busyTimeoutMs),
      authenticated_(!context_.users) {
    local_.setBusyLimits(busyTimeoutMs_, kRetryMillis);
    local_.connect(String(context_.dataDir), String(), String(), false, "-");
}

RequestHandler::~RequestHandler() {
    endSession();
}

// ----------------------------------------------------------------- handlers

int RequestHandler::busyHandler(void* self, int count) {
    auto* h = static_cast<RequestHandler*>(self);
    auto now = std::chrono::steady_clock::now();
    if (count == 0) h->busySince_ = now;
    if (h->stop_) return 0;
    auto waited =
        std::chrono::duration_cast<std::chrono::milliseconds>(now - h->busySince_).count();
    int left = int(h->busyTimeoutMs_ - waited);
    if (left <= 0) return 0;
    constexpr int kSteps = int(sizeof kBusySteps / sizeof kBusySteps[0]);
    int pause = std::min(count < kSteps ? kBusySteps[count] : kBusySteps[kSteps - 1], left);
    std::this_thread::sleep_for(std::chrono::milliseconds(pause));
    return 1;
}

int RequestHandler::progressHandler(void* self) {
    return static_cast<RequestHandler*>(self)->stop_ ? 1 : 0;
}

int RequestHandler::commitHook(void* self) {
    // Non-zero turns the commit into a rollback: once the server is
    // stopping nothing more is committed, whatever was under way.
    return static_cast<RequestHandler*>(self)->stop_ ? 1 : 0;
}

bool RequestHandler::inTransaction() const noexcept {
    sqlite3* db = local_.handle();
    return db && !sqlite3_get_autocommit(db);
}

void RequestHandler::guardHandle() {
    // Installed again after every request: a database reopened at the same
    // address would otherwise keep the local back end's handlers.
    sqlite3* db = local_.handle();
    guarded_ = db;
    if (!db) return;
    sqlite3_busy_handler(db, &RequestHandler::busyHandler, this);
    sqlite3_progress_handler(db, 1000, &RequestHandler::progressHandler, this);
    sqlite3_commit_hook(db, &RequestHandler::commitHook, this);
    // No single value may be larger than an answer may be.
    int longest = int(std::min<uint32_t>(context_.maxAnswer, 0x7fffffffu));
    if (sqlite3_limit(db, SQLITE_LIMIT_LENGTH, -1) > longest)
        sqlite3_limit(db, SQLITE_LIMIT_LENGTH, longest);
    SqliteGuard::guard(db);
}

void RequestHandler::reopenIfMoved() {
    sqlite3* db = local_.handle();
    if (!db || !sqlite3_get_autocommit(db) || local_.database().isEmpty()) return;
    int moved = 0;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_HAS_MOVED, &moved) != SQLITE_OK || !moved)
        return;
    String name = local_.database();
    try {
        local_.openDatabase(name, false);
    } catch (const GeneralException&) {
        // The request that follows reports that no database is open.
    }
}

bool RequestHandler::rollbackOpenTransaction() {
    sqlite3* db = local_.handle();
    if (!db || sqlite3_get_autocommit(db)) return false;
    // A stop must not interrupt the rollback itself.
    sqlite3_progress_handler(db, 0, nullptr, nullptr);
    try {
        if (local_.inTransaction())
            local_.rollbackTransaction();
        else
            local_.execute("ROLLBACK");
    } catch (const GeneralException&) {
        // Closing the database rolls back what is left.
    }
    return true;
}

bool RequestHandler::endSession() {
    bool rolledBack = rollbackOpenTransaction();
    local_.disconnect();
    guarded_ = nullptr;
    return rolledBack;
}

// -------------------------------------------------------------------- paths

void RequestHandler::requireName(const String& name) {
    if (!SafePath::isValidName(name))
        throw GeneralException::format("Nombre de base de datos invalido: '%s'", name.c_str());
}

std::string RequestHandler::filePath(const String& relative) {
    std::string path;
    if (!SafePath::resolve(context_.dataDir, relative, path))
        throw GeneralException::format("Ruta de archivo invalida: '%s'", relative.c_str());
    return path;
}

int RequestHandler::openRegular(const String& relative, int flags) {
    int fd = SafePath::openBeneath(context_.dataDir, filePath(relative),
                                   flags | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0644);
    if (fd < 0) {
        if (errno == EXDEV || errno == ELOOP)
            throw GeneralException::format("Ruta de archivo invalida: '%s'", relative.c_str());
        throw GeneralException::format("No se pudo abrir el archivo %s: %s", relative.c_str(),
                                       systemError().c_str());
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw GeneralException::format("%s no es un archivo", relative.c_str());
    }
    return fd;
}

bool RequestHandler::checkDatabase(const String& name, bool addExtension) {
    requireName(name);
    std::string path = context_.dataDir + "/" + name.toStdString() + (addExtension ? ".db" : "");
    struct stat st {};
    switch (SafePath::locate(context_.dataDir, path, &st)) {
        case SafePath::Place::Missing:
            return false;
        case SafePath::Place::Outside:
            // Said as for a bad name: nothing about what lies outside.
            throw GeneralException::format("Nombre de base de datos invalido: '%s'", name.c_str());
        case SafePath::Place::Inside:
            break;
    }
    if (!S_ISREG(st.st_mode)) throw GeneralException::format("%s no es un archivo", name.c_str());
    return true;
}

void RequestHandler::answerFileList(const std::string& folder, const String& mask, uint8_t code,
                                    Outcome& out) {
    struct Entry {
        std::string name;
        double size;
        time_t modified;
    };
    std::vector<Entry> entries;
    int fd = folder == context_.dataDir
                 ? ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)
                 : SafePath::openBeneath(context_.dataDir, folder, O_RDONLY | O_DIRECTORY);
    DIR* dir = fd >= 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        if (fd >= 0) ::close(fd);
        throw GeneralException::format("No se pudo leer la carpeta: %s", systemError().c_str());
    }
    String pattern = mask.isEmpty() ? String("*") : mask;
    while (dirent* e = ::readdir(dir)) {
        // Hidden names (and "." and "..") are not for clients: they cannot
        // name them either.
        if (e->d_name[0] == '.') continue;
        if (::fnmatch(pattern.c_str(), e->d_name, 0) != 0) continue;
        struct stat st {};
        if (::fstatat(::dirfd(dir), e->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        // A link is listed only where it leads beneath the folder: its
        // target's size and date, never those of a file outside.
        if (S_ISLNK(st.st_mode) && SafePath::locate(context_.dataDir, folder + "/" + e->d_name,
                                                    &st) != SafePath::Place::Inside)
            continue;
        if (!S_ISREG(st.st_mode)) continue;
        entries.push_back({e->d_name, double(st.st_size), st.st_mtime});
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return a.name < b.name; });

    DataSet set;
    set.setColumnNames("name|size|modified");
    DataRow model(3);
    model.setType(0, DataItem::TString);
    model.setType(1, DataItem::TDouble);
    model.setType(2, DataItem::TDate);
    set.setHeader(&model);
    for (const Entry& e : entries) {
        auto row = std::make_unique<DataRow>(3);
        row->cell(0)->setString(e.name);
        row->cell(1)->setDouble(e.size);
        std::tm local{};
        localtime_r(&e.modified, &local);
        row->cell(2)->setDate(DateTime(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
                                       local.tm_hour, local.tm_min, local.tm_sec));
        set.insertRow(std::move(row));
    }
    out.answer = answer(code);
    out.answer->addDataSet(set);
}

int32_t RequestHandler::nextCounter(const String& table, const String& where,
                                    const String& column) {
    sqlite3* db = local_.handle();
    if (!db) throw GeneralException(SqliteLocalConnection::kNoDatabase);
    // The increment and the read are one step: inside the client's own
    // transaction the UPDATE holds the write lock until it ends; outside
    // one, both run in a transaction of their own.
    if (!sqlite3_get_autocommit(db)) return local_.nextCounter(table, where, column);
    local_.execute("BEGIN IMMEDIATE TRANSACTION");
    try {
        int32_t value = local_.nextCounter(table, where, column);
        local_.execute("COMMIT TRANSACTION");
        return value;
    } catch (...) {
        if (local_.handle() && !sqlite3_get_autocommit(local_.handle()))
            sqlite3_exec(local_.handle(), "ROLLBACK;", nullptr, nullptr, nullptr);
        throw;
    }
}

void RequestHandler::updateDatabase(Request& r) {
    String schema = r.texts[0];
    std::string file = context_.dataDir + "/" + local_.database().toStdString();
    // Keyed by the real file: a link inside the folder names the same one.
    std::string real = SafePath::realFolder(file);
    std::lock_guard<std::mutex> lock(updateLock(real.empty() ? file : real));
    // Another client's update may have replaced the file while this one
    // waited: work on the current one.
    reopenIfMoved();
    guardHandle();
    if (!local_.updateDatabase(&schema, r.rows.get(), nullptr))
        throw GeneralException(local_.lastError().toStdString());
}

void RequestHandler::uploadFile(const String& name, int32_t flags, const std::string& bytes) {
    std::string path = filePath(name);
    // The folders on the way, each made inside the one before it (opened
    // beneath the data folder), so that no link leads a part elsewhere.
    const std::string& root = context_.dataDir;
    int parent = ::open(root.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
    if (parent < 0)
        throw GeneralException::format("No se pudo leer la carpeta: %s", systemError().c_str());
    FileCloser closeParent{parent};
    for (size_t slash = path.find('/', root.size() + 1); slash != std::string::npos;
         slash = path.find('/', slash + 1)) {
        size_t start = path.find_last_of('/', slash - 1) + 1;
        std::string part = path.substr(start, slash - start);
        if (::mkdirat(parent, part.c_str(), 0755) != 0 && errno != EEXIST)
            throw GeneralException::format("No se pudo crear la carpeta de %s: %s", name.c_str(),
                                           systemError().c_str());
        int next = SafePath::openBeneath(root, path.substr(0, slash), O_PATH | O_DIRECTORY);
        if (next < 0) {
            if (errno == EXDEV || errno == ELOOP)
                throw GeneralException::format("Ruta de archivo invalida: '%s'", name.c_str());
            throw GeneralException::format("No se pudo crear la carpeta de %s: %s", name.c_str(),
                                           systemError().c_str());
        }
        ::close(parent);
        closeParent.fd = parent = next;
    }
    if (flags & 1) {
        // Flag 1: append to the file (created when missing).
        int fd = openRegular(name, O_WRONLY | O_CREAT | O_APPEND);
        FileCloser closeFile{fd};
        writeAll(fd, bytes, name);
        return;
    }
    // Replaced in one step: readers see the old file or the new one, never
    // half of it. The new file is made beside it under a fresh name (never
    // through a link) and renamed over the old name (a link there is
    // replaced, not followed).
    std::string leaf = path.substr(path.find_last_of('/') + 1);
    std::string temp =
        ".upload-" + std::to_string(context_.clientId) + "-" + std::to_string(++uploads_);
    int fd =
        ::openat(parent, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        throw GeneralException::format("No se pudo crear el archivo %s: %s", name.c_str(),
                                       systemError().c_str());
    try {
        FileCloser closeFile{fd};
        writeAll(fd, bytes, name);
    } catch (...) {
        ::unlinkat(parent, temp.c_str(), 0);
        throw;
    }
    if (::renameat(parent, temp.c_str(), parent, leaf.c_str()) != 0) {
        std::string why = systemError();
        ::unlinkat(parent, temp.c_str(), 0);
        throw GeneralException::format("No se pudo escribir el archivo %s: %s", name.c_str(),
                                       why.c_str());
    }
}

void RequestHandler::login(Request& r, Outcome& out) {
    const std::string user = r.texts[0].toStdString();
    if (!context_.users || context_.users->verify(user, r.texts[1].toStdString())) {
        authenticated_ = true;
        if (context_.users)
            ServerLog::line("client %d: user '%s'", context_.clientId, user.c_str());
        out.answer = answer(RC::kSuccess);
        return;
    }
    // The name as sent, cut to a sensible length for the log.
    ServerLog::line("client %d: login refused for '%s'", context_.clientId,
                    ServerLog::oneLine(user.substr(0, UserFile::kMaxUserLength)).c_str());
    // Each wrong guess costs its sender a second (a stop cuts it short).
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLoginFailureDelayMs);
    while (!stop_ && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    out.answer = failure(kLoginFailed);
}

// ----------------------------------------------------------------- requests

std::unique_ptr<NetMessage> RequestHandler::largeAnswer(uint8_t code, uint32_t bytes) {
    std::unique_ptr<NetMessage> m = spare_ ? std::move(spare_) : answer(code);
    m->setCode(code);
    m->reserve(bytes);
    return m;
}

void RequestHandler::recycle(std::unique_ptr<NetMessage> answer) {
    if (answer && answer->body().capacity() <= kSpareLimit) spare_ = std::move(answer);
    if (rowCells_.capacity() > kSpareLimit) rowCells_.releaseBuffer();
}

RequestHandler::Outcome RequestHandler::handle(NetMessage& message) {
    Outcome out;
    guardHandle();
    try {
        Request r = RequestDecoder::decode(message);
        if (!r.known)
            throw GeneralException::format("Peticion desconocida: codigo %d", int(r.code));
        const bool quiet = !RequestDecoder::expectsAnswer(r.code);
        if (stop_ && !quiet && r.code != RC::kDisconnect) throw GeneralException(kStopping);
        if (!authenticated_ && !quiet && r.code != RC::kLogin)
            throw GeneralException(kLoginRequired);
        reopenIfMoved();
        guardHandle();
        dispatch(r, out);
    } catch (const GeneralException& e) {
        out.answer = failure(e.what());
    } catch (const std::bad_alloc&) {
        out.answer = failure("Sin memoria para la peticion");
    } catch (const std::exception& e) {
        out.answer = failure(e.what());
    }
    guardHandle();
    return out;
}

void RequestHandler::dispatch(Request& r, Outcome& out) {
    const std::vector<String>& s = r.texts;
    const std::vector<int32_t>& n = r.ints;
    switch (r.code) {
        case RC::kDisconnect:
            out.close = true;
            return;
        case RC::kSuccess:    // a sign of life nobody asked for
        case RC::kKeepAlive:  // a beat: the connection is alive, nothing to say
            return;
        case RC::kNotify:
            // Before the login nobody is there to be noted.
            if (!authenticated_) return;
            ServerLog::line("client %d (%s): notice", context_.clientId, label_.c_str());
            return;

        case RC::kLogin:
            login(r, out);
            return;

        case RC::kCreateDatabase:
            checkDatabase(s[0], !SafePath::hasDatabaseExtension(s[0]));
            local_.createDatabase(s[0], !SafePath::hasDatabaseExtension(s[0]));
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kOpenDatabase:
            // Another database (or none): what this client left open ends.
            rollbackOpenTransaction();
            if (s[0].isEmpty()) {
                local_.openDatabase(String(), true);
            } else {
                checkDatabase(s[0], !SafePath::hasDatabaseExtension(s[0]));
                if (!local_.openDatabase(s[0], !SafePath::hasDatabaseExtension(s[0])))
                    throw GeneralException(local_.lastError().toStdString());
            }
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kListDatabases: {
            if (!SafePath::isValidMask(s[0]))
                throw GeneralException::format("Mascara invalida: '%s'", s[0].c_str());
            // As the local back end lists: an empty mask is "*.db".
            answerFileList(context_.dataDir, s[0].isEmpty() ? String("*.db") : s[0],
                           RC::kDatabaseList, out);
            return;
        }
        case RC::kDatabaseExists: {
            bool exists = false;
            try {
                exists = checkDatabase(s[0], n[0] != 0);
            } catch (const GeneralException&) {
                // A name that leads out of the folder, or to no file, is
                // not a database here.
                requireName(s[0]);
            }
            out.answer = answer(RC::kScalar);
            DataItem item;
            item.setBool(exists);
            out.answer->addItem(item);
            return;
        }

        case RC::kExecute:
            local_.execute(s[0]);
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kExecuteInsert:
            out.answer = answer(RC::kScalar);
            out.answer->addItem(DataItem(local_.executeInsert(s[0])));
            return;
        case RC::kBeginTransaction:
            local_.beginTransaction();
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kCommitTransaction:
            local_.commitTransaction();
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kRollbackTransaction:
            local_.rollbackTransaction();
            out.answer = answer(RC::kSuccess);
            return;

        case RC::kQueryItem: {
            // Converted here as the local back end converts for each query.
            DataItem item;
            switch (n[0]) {
                case RC::kAsInt:
                    item.setInt(local_.queryInt(s[0]));
                    break;
                case RC::kAsString:
                    item.setString(local_.queryString(s[0]));
                    break;
                case RC::kAsDouble:
                    item.setDouble(local_.queryDouble(s[0]));
                    break;
                case RC::kAsDateTime:
                    item.setDate(local_.queryDateTime(s[0]));
                    break;
                case RC::kAsDate:
                    item.setDay(local_.queryDate(s[0]));
                    break;
                default:
                    item = local_.queryItem(s[0]);
                    break;
            }
            out.answer = answer(RC::kScalar);
            out.answer->addItem(item);
            return;
        }
        case RC::kQueryRow: {
            std::unique_ptr<DataRow> row(local_.queryNewDataRow(s[0]));
            if (!row) {
                // No row: an empty item, which the client reads as "none".
                out.answer = answer(RC::kScalar);
                out.answer->addItem(DataItem());
                return;
            }
            out.answer = answer(RC::kRow);
            out.answer->addRow(*row);
            return;
        }
        case RC::kQueryDataset: {
            auto set = std::make_unique<StreamedRows<DataSet>>(rowCells_);
            set->setLimit(context_.maxAnswer, tooLargeText(0, context_.maxAnswer));
            local_.queryDataset(s[0], set.get(), s[1], false);
            out.answer = largeAnswer(RC::kRows, set->streamedBytes() + 4096);
            set->writeImage(*out.answer);
            out.rows = std::move(set);
            return;
        }
        case RC::kQueryModel: {
            TableDataset table;
            local_.queryModel(s[0], &table);
            out.answer = answer(RC::kModel);
            addModel(*out.answer, table);
            out.answer->addInt(table.keyColumn()).addInt(table.counterColumn());
            return;
        }
        case RC::kQueryColumns: {
            DataSet set;
            local_.queryColumns(s[0], &set);
            out.answer = answer(RC::kModel);
            addModel(*out.answer, set);
            return;
        }
        case RC::kOpenTable: {
            auto table = std::make_unique<StreamedRows<TableDataset>>(rowCells_);
            table->setLimit(context_.maxAnswer, tooLargeText(0, context_.maxAnswer));
            local_.openTable(table.get(), s[0], s[1], s[2]);
            out.answer = largeAnswer(RC::kTable, table->streamedBytes() + 4096);
            addModel(*out.answer, *table);
            out.answer->addInt(table->keyColumn()).addInt(table->counterColumn());
            table->writeImage(*out.answer);
            out.rows = std::move(table);
            return;
        }
        case RC::kTableExist:
            out.answer = answer(RC::kScalar);
            {
                DataItem exists;
                exists.setBool(local_.tableExist(s[0]));
                out.answer->addItem(exists);
            }
            return;
        case RC::kUpdateDatabase:
            updateDatabase(r);
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kNextCounter:
            out.answer = answer(RC::kScalar);
            out.answer->addItem(DataItem(nextCounter(s[0], s[1], s[2])));
            return;
        case RC::kSetLabel:
            label_ = s[0];
            ServerLog::line("client %d: label '%s'", context_.clientId, label_.c_str());
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kBackupDatabase:
            checkDatabase(s[0], true);
            local_.backupDatabase(s[0], n[0] != 0, 0);
            out.answer = answer(RC::kSuccess);
            return;

        case RC::kTextToInt: {
            // The text runs as statements; the answer is how many rows they
            // inserted, changed or deleted.
            sqlite3* db = local_.handle();
            if (!db) throw GeneralException(SqliteLocalConnection::kNoDatabase);
            int before = sqlite3_total_changes(db);
            local_.execute(s[0]);
            int after = local_.handle() ? sqlite3_total_changes(local_.handle()) : before;
            out.answer = answer(RC::kScalar);
            out.answer->addItem(DataItem(int32_t(after - before)));
            return;
        }
        case RC::kIntCommand:
            // This client's lock wait, in milliseconds.
            busyTimeoutMs_ = std::clamp(n[0], 0, kMaxBusyTimeoutMs);
            local_.setBusyLimits(busyTimeoutMs_, kRetryMillis);
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kIntQuery: {
            int32_t value;
            switch (n[0]) {
                case 0:
                    value = kProtocolVersion;
                    break;
                case 1:
                    value = context_.clientCount ? context_.clientCount() : 1;
                    break;
                case 2:
                    value = context_.clientId;
                    break;
                case 3:
                    value = local_.handle() && !sqlite3_get_autocommit(local_.handle());
                    break;
                case 4:
                    value = int32_t(std::chrono::duration_cast<std::chrono::seconds>(
                                        std::chrono::steady_clock::now() - context_.started)
                                        .count());
                    break;
                case 5:
                    value = busyTimeoutMs_;
                    break;
                default:
                    throw GeneralException::format("serverInfo: dato desconocido %d", int(n[0]));
            }
            out.answer = answer(RC::kScalar);
            out.answer->addItem(DataItem(value));
            return;
        }
        case RC::kIntQuery2: {
            // Echo after a pause: for measuring round trips and trying
            // time-outs. The pause gives way to a stop.
            int pause = std::clamp(n[0], 0, kMaxEchoPauseMs);
            auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(pause);
            while (!stop_ && std::chrono::steady_clock::now() < until)
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            out.answer = answer(RC::kScalar);
            out.answer->addItem(DataItem(n[0]));
            return;
        }
        case RC::kCommand:
            // Back to a fresh session: transaction rolled back, database closed.
            rollbackOpenTransaction();
            local_.openDatabase(String(), true);
            out.answer = answer(RC::kSuccess);
            return;

        case RC::kUploadFile:
            uploadFile(s[0], n[0], r.block);
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kDownloadFile: {
            std::string data = readWholeFile(openRegular(s[0], O_RDONLY),
                                             context_.maxAnswer - kFrameOverhead, s[0]);
            out.answer = answer(RC::kBlock);
            out.answer->addBytes(data.data(), uint32_t(data.size()));
            return;
        }
        case RC::kFileText: {
            std::string data = readWholeFile(openRegular(s[0], O_RDONLY),
                                             context_.maxAnswer - kFrameOverhead, s[0]);
            out.answer = answer(RC::kScalar);
            out.answer->addItem(DataItem(String(VORLIN::TextRef(data))));
            return;
        }
        case RC::kListFiles:
            answerFileList(context_.dataDir, String(), RC::kFileList, out);
            return;
        case RC::kListFilesIn: {
            std::string folder = s[0].isEmpty() ? context_.dataDir : filePath(s[0]);
            if (!SafePath::isValidMask(s[1]))
                throw GeneralException::format("Mascara invalida: '%s'", s[1].c_str());
            answerFileList(folder, s[1], RC::kFileList, out);
            return;
        }
        default:
            throw GeneralException::format("Peticion desconocida: codigo %d", int(r.code));
    }
}
