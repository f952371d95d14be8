#include "tools/cli/ConnectionOption.h"

#include <filesystem>

#include "core/GeneralException.h"
#include "db/mysql/MySqlConnection.h"
#include "db/odbc/OdbcConnection.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/SqliteClientConnection.h"

using VORLIN::DbConnection;
using VORLIN::String;

namespace {

using Opener = std::unique_ptr<DbConnection> (*)(const ConnectionOption&, std::string& error);

// Runs `step` on `db` (null: nothing happens); when it answers false or
// fails, `error` gets the back end's text (or `fallback`) and the
// connection is dropped.
template <class Step>
std::unique_ptr<DbConnection> checked(std::unique_ptr<DbConnection> db, const std::string& fallback,
                                      std::string& error, Step step) {
    if (!db) return nullptr;
    try {
        if (step(*db)) return db;
        error = db->lastError().isEmpty() ? fallback : db->lastError().toStdString();
    } catch (const VORLIN::GeneralException& e) {
        error = e.message();
    }
    return nullptr;
}

std::unique_ptr<DbConnection> openSqlite(const ConnectionOption& option, std::string& error) {
    namespace fs = std::filesystem;
    if (option.body.empty()) {
        error = "falta la ruta del archivo (sqlite:RUTA)";
        return nullptr;
    }
    fs::path path(option.body);
    std::string folder = path.has_parent_path() ? path.parent_path().string() : ".";
    if (folder.back() != '/') folder += '/';
    return checked(std::make_unique<VORLIN::SqliteLocalConnection>(),
                   "no se pudo abrir " + option.body, error, [&](DbConnection& db) {
                       return db.connect(String(folder), "", "", false, "-") &&
                              db.openDatabase(String(path.filename().string()), false, String(),
                                              String());
                   });
}

// "HOST:PORT/DATABASE".
std::unique_ptr<DbConnection> openServer(const ConnectionOption& option, std::string& error) {
    size_t slash = option.body.find('/');
    std::string address = option.body.substr(0, slash);
    std::string database =
        slash == std::string::npos ? std::string() : option.body.substr(slash + 1);
    if (address.find(':') == std::string::npos || database.empty()) {
        error = "se esperaba server:HOST:PUERTO/BASE";
        return nullptr;
    }
    return checked(std::make_unique<VORLIN::SqliteClientConnection>(),
                   "no se pudo conectar con " + address, error, [&](DbConnection& db) {
                       return db.connect(String(address), "", "", false, String(database));
                   });
}

// Connects `db`; on failure `error` gets the back end's text.
std::unique_ptr<DbConnection> connected(std::unique_ptr<DbConnection> db, const std::string& host,
                                        const std::string& user, const std::string& password,
                                        const std::string& database, std::string& error) {
    return checked(std::move(db), "no se pudo conectar con " + host, error, [&](DbConnection& c) {
        return c.connect(String(host), String(user), String(password), false, String(database));
    });
}

// "USER:PASSWORD@HOST:PORT/DATABASE" (the password may hold ":").
std::unique_ptr<DbConnection> openMySql(const ConnectionOption& option, std::string& error) {
    const std::string& b = option.body;
    size_t at = b.rfind('@');
    size_t colon = b.find(':');
    size_t slash = at == std::string::npos ? std::string::npos : b.find('/', at);
    if (at == std::string::npos || colon == std::string::npos || colon > at ||
        slash == std::string::npos || slash + 1 >= b.size()) {
        error = "se esperaba mysql:USUARIO:CLAVE@HOST:PUERTO/BASE";
        return nullptr;
    }
    std::string database = b.substr(slash + 1);
    std::unique_ptr<DbConnection> db =
        connected(std::make_unique<VORLIN::MySqlConnection>(), b.substr(at + 1, slash - at - 1),
                  b.substr(0, colon), b.substr(colon + 1, at - colon - 1), database, error);
    // A MySQL connection reaches the server; the database is chosen after.
    return checked(std::move(db), "no se pudo abrir la base " + database, error,
                   [&](DbConnection& c) {
                       return c.openDatabase(String(database), false, String(), String());
                   });
}

// "DSN" or "DSN:USER:PASSWORD" (the password may hold ":").
std::unique_ptr<DbConnection> openOdbc(const ConnectionOption& option, std::string& error) {
    const std::string& b = option.body;
    size_t first = b.find(':');
    std::string dsn = b.substr(0, first);
    std::string user, password;
    if (first != std::string::npos) {
        size_t second = b.find(':', first + 1);
        if (second == std::string::npos) {
            error = "se esperaba odbc:DSN u odbc:DSN:USUARIO:CLAVE";
            return nullptr;
        }
        user = b.substr(first + 1, second - first - 1);
        password = b.substr(second + 1);
    }
    if (dsn.empty()) {
        error = "se esperaba odbc:DSN u odbc:DSN:USUARIO:CLAVE";
        return nullptr;
    }
    return connected(std::make_unique<VORLIN::OdbcConnection>(), "ODBC", user, password, dsn,
                     error);
}

struct BackEnd {
    const char* kind;
    Opener open;
};

const BackEnd kBackEnds[] = {
    {"sqlite", &openSqlite},
    {"server", &openServer},
    {"mysql", &openMySql},
    {"odbc", &openOdbc},
};

}  // namespace

bool ConnectionOption::parse(const std::string& text, ConnectionOption& out, std::string& error) {
    out = ConnectionOption();
    out.text = text;
    std::string kindAndBody = text;
    size_t eq = kindAndBody.rfind('=');
    if (eq != std::string::npos) {
        out.label = kindAndBody.substr(eq + 1);
        kindAndBody = kindAndBody.substr(0, eq);
        if (out.label.empty()) {
            error = "falta el nombre después de \"=\" en " + text;
            return false;
        }
    }
    size_t colon = kindAndBody.find(':');
    if (colon == std::string::npos || colon == 0) {
        error = "conexión sin tipo (TIPO:...): " + text;
        return false;
    }
    out.kind = kindAndBody.substr(0, colon);
    out.body = kindAndBody.substr(colon + 1);
    return true;
}

std::unique_ptr<DbConnection> ConnectionOption::open(std::string& error) const {
    for (const BackEnd& b : kBackEnds) {
        if (kind == b.kind) return b.open(*this, error);
    }
    error = "tipo de conexión desconocido: " + kind + " (tipos: " + availableKinds() + ")";
    return nullptr;
}

std::string ConnectionOption::availableKinds() {
    std::string out;
    for (const BackEnd& b : kBackEnds) {
        if (!out.empty()) out += ", ";
        out += b.kind;
    }
    return out;
}
