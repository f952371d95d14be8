// The connection object's "updateDatabase" and the table object's "copy"
// over a real SQLite database in a temporary folder.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "core/DataItem.h"
#include "core/GeneralException.h"
#include "core/String.h"
#include "data/DataRow.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "script/ConxObj.h"
#include "script/HeadlessHost.h"
#include "script/ItemTable.h"
#include "script/MemberTables.h"

namespace {

namespace fs = std::filesystem;
using VORLIN::ConxObj;
using VORLIN::DataItem;
using VORLIN::DataRow;
using VORLIN::GeneralException;
using VORLIN::HeadlessHost;
using VORLIN::Interfasable;
using VORLIN::ItemTable;
using VORLIN::MemberTables;
using VORLIN::SqliteLocalConnection;
using VORLIN::String;

std::unique_ptr<DataRow> args(std::initializer_list<DataItem> values) {
    auto row = std::make_unique<DataRow>(int(values.size()));
    int i = 0;
    for (const DataItem& v : values)
        row->cell(i++)->copyFrom(v);
    return row;
}

DataItem ref(Interfasable* o) {
    DataItem d;
    d.setObj(o, false);
    return d;
}

class ConnectionMembers : public ::testing::Test {
protected:
    fs::path dir;
    SqliteLocalConnection db;
    std::ostringstream out, err;
    HeadlessHost host{out, err};

    void SetUp() override {
        MemberTables::registerAll();
        dir = fs::temp_directory_path() /
              ("quelmir-conx-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        ASSERT_TRUE(db.connect(String(dir.string() + "/"), "", "", false, "-"));
        ASSERT_TRUE(db.openDatabase("m", true));
        db.execute("CREATE TABLE hijos (id INTEGER PRIMARY KEY, padre INTEGER, n INTEGER)");
        db.execute("CREATE TABLE copia (id INTEGER PRIMARY KEY, padre INTEGER, n INTEGER)");
        db.execute("INSERT INTO hijos VALUES (10, 1, 5)");
        db.execute("INSERT INTO hijos VALUES (11, 1, 6)");
    }
    void TearDown() override {
        db.disconnect();
        fs::remove_all(dir);
    }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream((dir / name), std::ios::binary) << text;
        return (dir / name).string();
    }
    int count(const char* table) { return db.queryInt(String("SELECT COUNT(*) FROM ") + table); }
};

TEST_F(ConnectionMembers, UpdateDatabaseAppliesSchemaAndKeepsRows) {
    ConxObj c(&db, "m", &host);
    host.setFileAnswer(String(write("nuevo.sql",
                                    "CREATE TABLE hijos (id INTEGER PRIMARY KEY, padre INTEGER, "
                                    "n INTEGER, nota TEXT DEFAULT 'x');\n"
                                    "CREATE TABLE copia (id INTEGER PRIMARY KEY, padre INTEGER, "
                                    "n INTEGER);\n"
                                    "CREATE TABLE extra (id INTEGER PRIMARY KEY);\n")));
    c.execute("updateDatabase", nullptr);
    EXPECT_TRUE(db.tableExist("extra"));
    EXPECT_EQ(count("hijos"), 2);
    EXPECT_EQ(db.queryInt("SELECT SUM(n) FROM hijos"), 11);
    // The new column exists in the rebuilt table.
    EXPECT_EQ(db.queryInt("SELECT COUNT(nota) FROM hijos"), 2);
}

TEST_F(ConnectionMembers, UpdateDatabaseCancelledOrUnreadable) {
    ConxObj c(&db, "m", &host);
    host.setFileAnswer(String());  // the dialog was cancelled: nothing changes
    c.execute("updateDatabase", nullptr);
    EXPECT_FALSE(db.tableExist("extra"));
    ConxObj withoutHost(&db, "m");
    withoutHost.execute("updateDatabase", nullptr);
    EXPECT_EQ(count("hijos"), 2);

    std::string missing = (dir / "no-existe.sql").string();
    host.setFileAnswer(String(missing));
    std::string message;
    try {
        c.execute("updateDatabase", nullptr);
    } catch (const GeneralException& e) {
        message = e.what();
    }
    EXPECT_EQ(message, "DbConnection.updateDatabase: no se pudo leer " + missing);
    EXPECT_EQ(count("hijos"), 2);
}

TEST_F(ConnectionMembers, TableCopyInMemoryAndIntoDatabase) {
    ConxObj c(&db, "m");
    ItemTable source("hijos");
    source.execute("open", args({ref(&c)}).get());
    ASSERT_EQ(source.execute("size", nullptr).toInt(), 2);

    // Without a connection the rows are appended to the set only.
    ItemTable memory("copia");
    memory.execute("open", args({ref(&c)}).get());
    memory.execute("copy", args({ref(&source)}).get());
    EXPECT_EQ(memory.execute("size", nullptr).toInt(), 2);
    EXPECT_EQ(memory.execute("getColumnListValues", args({DataItem("n")}).get()).text(), "5,6");
    EXPECT_EQ(count("copia"), 0);

    // With one they become INSERT statements into the table's own table.
    ItemTable target("copia");
    target.execute("open", args({ref(&c)}).get());
    target.execute("copy", args({ref(&source), ref(&c)}).get());
    EXPECT_EQ(count("copia"), 2);
    EXPECT_EQ(db.queryInt("SELECT SUM(n) FROM copia"), 11);
    // Rows the database rejects (the same keys again) are skipped.
    target.execute("copy", args({ref(&source), ref(&c)}).get());
    EXPECT_EQ(count("copia"), 2);

    // A table onto itself, or something that is no table, changes nothing.
    source.execute("copy", args({ref(&source)}).get());
    source.execute("copy", args({DataItem("nada")}).get());
    EXPECT_EQ(source.execute("size", nullptr).toInt(), 2);
}

}  // namespace
