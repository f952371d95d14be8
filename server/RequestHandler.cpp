#include "server/RequestHandler.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <thread>
#include <vector>

#include "core/GeneralException.h"
#include "data/DataRow.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"
#include "db/FolderListing.h"
#include "remote/NetMessage.h"
#include "remote/RemoteCodes.h"
#include "server/RequestDecoder.h"
#include "server/SafePath.h"
#include "server/ServerLog.h"
#include "server/SqliteGuard.h"
#include "server/StreamedRows.h"

using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::DataSet;
using VORLIN::DateTime;
using VORLIN::FolderListing;
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

// Reads a whole regular file of at most `limit` bytes.
std::string readWholeFile(const std::string& path, uint32_t limit, const String& shown) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw GeneralException::format("No se pudo abrir el archivo %s: %s", shown.c_str(),
                                       systemError().c_str());
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

}  // namespace

RequestHandler::RequestHandler(Context context)
    : context_(std::move(context)), busyTimeoutMs_(context_.busyTimeoutMs) {
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

void RequestHandler::guardHandle() {
    // Installed again after every request: a database reopened at the same
    // address would otherwise keep the local back end's handlers.
    sqlite3* db = local_.handle();
    guarded_ = db;
    if (!db) return;
    sqlite3_busy_handler(db, &RequestHandler::busyHandler, this);
    sqlite3_progress_handler(db, 1000, &RequestHandler::progressHandler, this);
    SqliteGuard::guard(db);
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
    if (!SafePath::resolve(context_.dataDir, relative, path) ||
        !SafePath::staysInside(context_.dataDir, path))
        throw GeneralException::format("Ruta de archivo invalida: '%s'", relative.c_str());
    return path;
}

void RequestHandler::answerFileList(const std::string& folder, const String& mask, Outcome& out) {
    // Hidden names (and "." and "..") are not for clients: they cannot name
    // them either.
    DataSet set;
    if (!FolderListing::list(String(folder), mask.isEmpty() ? String("*") : mask, true, set))
        throw GeneralException::format("No se pudo leer la carpeta: %s", systemError().c_str());
    out.answer = answer(RC::kFileList);
    out.answer->addDataSet(set);
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
            ServerLog::line("client %d (%s): notice", context_.clientId, label_.c_str());
            return;

        case RC::kCreateDatabase:
            requireName(s[0]);
            local_.createDatabase(s[0], !SafePath::hasDatabaseExtension(s[0]));
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kOpenDatabase:
            // Another database (or none): what this client left open ends.
            rollbackOpenTransaction();
            if (s[0].isEmpty()) {
                local_.openDatabase(String(), true);
            } else {
                requireName(s[0]);
                if (!local_.openDatabase(s[0], !SafePath::hasDatabaseExtension(s[0])))
                    throw GeneralException(local_.lastError().toStdString());
            }
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kListDatabases: {
            if (!SafePath::isValidMask(s[0]))
                throw GeneralException::format("Mascara invalida: '%s'", s[0].c_str());
            DataSet set;
            local_.listDatabases(&set, s[0]);
            for (int i = set.rowCount() - 1; i >= 0; --i)
                if (set.getCellText(i, 0).view().substr(0, 1) == ".") set.deleteRow(i);
            out.answer = answer(RC::kDatabaseList);
            out.answer->addDataSet(set);
            return;
        }
        case RC::kDatabaseExists:
            requireName(s[0]);
            out.answer = answer(RC::kScalar);
            {
                DataItem exists;
                exists.setBool(local_.databaseExists(s[0], n[0] != 0));
                out.answer->addItem(exists);
            }
            return;

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
        case RC::kUpdateDatabase: {
            String schema = s[0];
            if (!local_.updateDatabase(&schema, r.rows.get(), nullptr))
                throw GeneralException(local_.lastError().toStdString());
            out.answer = answer(RC::kSuccess);
            return;
        }
        case RC::kNextCounter:
            out.answer = answer(RC::kScalar);
            out.answer->addItem(DataItem(local_.nextCounter(s[0], s[1], s[2])));
            return;
        case RC::kSetLabel:
            label_ = s[0];
            ServerLog::line("client %d: label '%s'", context_.clientId, label_.c_str());
            out.answer = answer(RC::kSuccess);
            return;
        case RC::kBackupDatabase:
            requireName(s[0]);
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

        case RC::kUploadFile: {
            std::string path = filePath(s[0]);
            // Missing folders on the way are made (each part was checked).
            for (size_t slash = path.find('/', context_.dataDir.size() + 1);
                 slash != std::string::npos; slash = path.find('/', slash + 1)) {
                std::string folder = path.substr(0, slash);
                if (::mkdir(folder.c_str(), 0755) != 0 && errno != EEXIST)
                    throw GeneralException::format("No se pudo crear la carpeta de %s: %s",
                                                   s[0].c_str(), systemError().c_str());
            }
            if (!SafePath::staysInside(context_.dataDir, path))
                throw GeneralException::format("Ruta de archivo invalida: '%s'", s[0].c_str());
            if (n[0] & 1) {
                // Flag 1: append to the file (created when missing).
                int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
                if (fd < 0)
                    throw GeneralException::format("No se pudo abrir el archivo %s: %s",
                                                   s[0].c_str(), systemError().c_str());
                try {
                    writeAll(fd, r.block, s[0]);
                } catch (...) {
                    ::close(fd);
                    throw;
                }
                ::close(fd);
            } else {
                // Replaced in one step: readers see the old file or the new
                // one, never half of it.
                size_t slash = path.find_last_of('/');
                std::string temp = path.substr(0, slash + 1) + ".upload-" +
                                   std::to_string(context_.clientId) + "-" +
                                   std::to_string(++uploads_);
                int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
                if (fd < 0)
                    throw GeneralException::format("No se pudo crear el archivo %s: %s",
                                                   s[0].c_str(), systemError().c_str());
                try {
                    writeAll(fd, r.block, s[0]);
                } catch (...) {
                    ::close(fd);
                    ::unlink(temp.c_str());
                    throw;
                }
                ::close(fd);
                if (::rename(temp.c_str(), path.c_str()) != 0) {
                    std::string why = systemError();
                    ::unlink(temp.c_str());
                    throw GeneralException::format("No se pudo escribir el archivo %s: %s",
                                                   s[0].c_str(), why.c_str());
                }
            }
            out.answer = answer(RC::kSuccess);
            return;
        }
        case RC::kDownloadFile: {
            std::string data =
                readWholeFile(filePath(s[0]), context_.maxMessage - kFrameOverhead, s[0]);
            out.answer = answer(RC::kBlock);
            out.answer->addBytes(data.data(), uint32_t(data.size()));
            return;
        }
        case RC::kFileText: {
            std::string data =
                readWholeFile(filePath(s[0]), context_.maxMessage - kFrameOverhead, s[0]);
            out.answer = answer(RC::kScalar);
            out.answer->addItem(DataItem(String(VORLIN::TextRef(data))));
            return;
        }
        case RC::kListFiles:
            answerFileList(context_.dataDir, String(), out);
            return;
        case RC::kListFilesIn: {
            std::string folder = s[0].isEmpty() ? context_.dataDir : filePath(s[0]);
            if (!SafePath::isValidMask(s[1]))
                throw GeneralException::format("Mascara invalida: '%s'", s[1].c_str());
            answerFileList(folder, s[1], out);
            return;
        }
        default:
            throw GeneralException::format("Peticion desconocida: codigo %d", int(r.code));
    }
}
