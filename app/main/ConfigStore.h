// ConfigStore: the program's own settings, kept in the SQLite file
// "Quelmir.ini" of the per-user folder (despite its name a SQLite database):
// recent servers (tRecentServers), the colour scheme (tColorSchema, made
// when a scheme is first saved), the table scripts reach as the
// configuration object (tConfig, loaded whole at open and kept while the
// store is open) and tQuerys, which nothing here uses.
//
// Server kinds: kRemoteServer (1, the remote SQLite service) and
// kMySqlServer (2). Host names go into the statements as SQL literals.
//
// The colour lists are DataRows of colour items, 20 solid colours and 10
// gradient positions; stored rows whose Id falls outside their list are
// ignored on load.
//
// A store that cannot be opened (unwritable folder, a file that is not a
// SQLite database) leaves the object closed with the reason in
// lastError(); a closed store lists nothing, records nothing and loads no
// colours; saving colours into it throws.
//
// Ownership: owns its connection and the tConfig table object. Threads:
// the UI thread only. Throws GeneralException from saveColorScheme (the
// connection's texts, or kNotOpen); the other operations report failures
// through their result.
#pragma once

#include <memory>
#include <vector>

#include "core/String.h"

namespace VORLIN {

class DataRow;
class DataSet;
class ItemTable;
class SqliteLocalConnection;
class TableDataset;

class ConfigStore {
public:
    static constexpr const char* kFileName = "Quelmir.ini";
    static constexpr int kRemoteServer = 1;
    static constexpr int kMySqlServer = 2;
    static constexpr int kSolidColors = 20;
    static constexpr int kGradientColors = 10;
    static constexpr const char* kNotOpen = "ConfigStore: la configuración no está abierta";
    // The schema, statement by statement.
    static const char* const kSchema[4];
    static constexpr const char* kColorTable =
        "CREATE TABLE tColorSchema(Id_Key INTEGER PRIMARY KEY, Tipo INTEGER, Id INTEGER, Color "
        "TEXT);";
    static constexpr const char* kColorIndex =
        "CREATE UNIQUE INDEX iColSch ON tColorSchema(Tipo,Id);";

    ConfigStore();
    ~ConfigStore();
    ConfigStore(const ConfigStore&) = delete;
    ConfigStore& operator=(const ConfigStore&) = delete;

    // Opens the store in `folder` (ending in "/"), creating the file with
    // its schema when it does not exist. False, closed, with the reason in
    // lastError() when it cannot; a file half made by a failed creation is
    // removed.
    bool open(const String& folder);
    void close();
    bool isOpen() const noexcept { return open_; }
    const String& lastError() const noexcept { return error_; }
    const String& path() const noexcept { return path_; }

    // The store's connection (valid while open).
    SqliteLocalConnection& connection() { return *connection_; }
    // tConfig, as the table object scripts reach.
    ItemTable& configTable() { return *config_; }
    TableDataset& configSet();

    // Records (kind, host) once; a later port for the same pair is not
    // recorded. False when nothing could be written.
    bool addRecentServer(int kind, const String& host, int port);
    // The hosts of that kind in ascending order.
    std::vector<String> recentServers(int kind);

    // Fills the two lists (resized to 20 and 10 cells, null where nothing
    // is stored) from tColorSchema; false when the store holds no scheme.
    bool loadColorScheme(DataRow& solid, DataRow& gradient);
    // Stores both lists in one transaction (the table made first when
    // missing); a failure rolls everything back and throws.
    void saveColorScheme(const DataRow& solid, const DataRow& gradient);

private:
    // Runs `work` in a transaction, rolled back when it throws.
    template <class Work>
    void inTransaction(Work&& work);
    // The tables of a new store, in one transaction.
    void createSchema();
    std::unique_ptr<SqliteLocalConnection> connection_;
    std::unique_ptr<ItemTable> config_;
    String error_;
    String path_;
    bool open_ = false;
};

}  // namespace VORLIN
