// The import into a real SQLite file, read back with the sqlite3 shell.
#include "app/import/TextImport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "app/import/DelimitedTextReader.h"
#include "core/GeneralException.h"
#include "db/sqlite/SqliteLocalConnection.h"
#include "remote/SqliteClientConnection.h"
#include "tests/server/ServerProcess.h"
#include "tests/support/TempFolder.h"

using VORLIN::GeneralException;
using VORLIN::SqliteLocalConnection;
using VORLIN::String;

namespace {

// The spreadsheet's file: a BOM, a name with a comma, a city over two lines,
// null and empty fields, a text in a numeric column and a repeated code.
const char* const kCsv =
    "\xEF\xBB\xBFNombre,Ciudad,Importe,Alta,Codigo\r\n"
    "\"Pérez, Juan\",\"Monterrey\r\nCentro\",12.5,2024-01-31,1\r\n"
    "Ana,null,,null,2\r\n"
    "Luis,Puebla,abc,,3\r\n"
    "\r\n"
    "Eva,Lima,3,,1\r\n"
    "Rosa,Quito,7,,4";

std::string shell(const std::string& db, const std::string& sql) {
    std::string command = "sqlite3 -separator '|' '" + db + "' \"" + sql + "\"";
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

struct Recorder : ImportProgress {
    std::vector<ImportFailure> failures;
    int calls = 0;
    int stopAt = 0;
    bool rowDone(int n, int, int) override {
        ++calls;
        return stopAt == 0 || n < stopAt;
    }
    void rowFailed(const ImportFailure& f) override { failures.push_back(f); }
};

class CommitRefused : public SqliteLocalConnection {
public:
    void commitTransaction() override { throw GeneralException("commit rechazado"); }
};

template <class Connection>
struct Fixture {
    testsupport::TempFolder dir;
    Connection db;
    std::string path;
    Fixture() {
        EXPECT_TRUE(db.connect(String(dir.path), "", "", false, "-"));
        EXPECT_TRUE(db.openDatabase("datos.db", false, String(), String()));
        path = dir.file("datos.db");
        db.execute(
            "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT NOT NULL, ciudad TEXT, "
            "importe NUMERIC, alta DATE, pais TEXT, codigo INTEGER UNIQUE)");
    }
    void map(TextImport& import, DelimitedTextReader& reader) {
        reader.load(kCsv);
        int records = 0, maxFields = 0;
        reader.count(records, maxFields);
        import.setFieldNames(reader.fieldNames(true, maxFields));
        import.setTable("clientes");
        EXPECT_EQ(import.mapByName(), 5);
        import.addConstant("MX", import.findColumn("pais"));
    }
};

TEST(TextImport, SpreadsheetFileWithConstantAndFailingRows) {
    Fixture<SqliteLocalConnection> f;
    TextImport import(f.db);
    DelimitedTextReader reader(',', '"');
    f.map(import, reader);
    EXPECT_EQ(import.relationText(0), "Nombre <-> nombre");
    EXPECT_EQ(import.relationText(5), "Constante: MX <-> pais");

    Recorder progress;
    ImportResult r = import.run(reader, true, &progress);
    EXPECT_EQ(r.total, 5);
    EXPECT_EQ(r.imported, 3);
    EXPECT_EQ(r.failed, 2);
    EXPECT_TRUE(r.error.isEmpty());
    EXPECT_EQ(progress.calls, 5);
    ASSERT_EQ(progress.failures.size(), 2u);
    EXPECT_EQ(progress.failures[0].row, 3);
    EXPECT_EQ(progress.failures[0].line, 5);
    EXPECT_EQ(progress.failures[0].message,
              "ImportarTexto: \"abc\" no es un número (columna importe)");
    EXPECT_EQ(progress.failures[1].row, 4);
    EXPECT_EQ(progress.failures[1].line, 7);
    EXPECT_NE(progress.failures[1].message.view().find("UNIQUE"), std::string::npos)
        << progress.failures[1].message.c_str();

    // The key is the database's own; null gives empty text in a text column
    // and NULL elsewhere, as does an empty field.
    EXPECT_EQ(shell(f.path,
                    "SELECT id,nombre,ciudad,quote(importe),quote(alta),pais,codigo FROM clientes "
                    "ORDER BY id"),
              "1|Pérez, Juan|Monterrey\r\nCentro|12.5|'2024-01-31'|MX|1\n"
              "2|Ana||NULL|NULL|MX|2\n"
              "3|Rosa|Quito|7|NULL|MX|4\n");
}

TEST(TextImport, RefusedBeforeWritingAndRolledBackWhenStoppedOrUncommitted) {
    Fixture<SqliteLocalConnection> f;
    DelimitedTextReader reader(',', '"');
    reader.load(kCsv);
    TextImport import(f.db);
    auto message = [&](auto action) {
        try {
            action();
        } catch (const GeneralException& e) {
            return e.message();
        }
        return std::string("no exception");
    };
    EXPECT_EQ(message([&] { import.run(reader, true, nullptr); }), TextImport::kNoTable);
    import.setTable("clientes");
    EXPECT_EQ(message([&] { import.run(reader, true, nullptr); }), TextImport::kNoRelations);
    // An unknown table: the connection's own text.
    EXPECT_NE(message([&] { import.setTable("no_existe"); }).find("no such table: no_existe"),
              std::string::npos);
    EXPECT_EQ(message([&] { import.addField(0, 99); }), TextImport::kBadRelation);
    // The connection is not left inside a transaction.
    EXPECT_EQ(message([&] { f.db.commitTransaction(); }), "No se ha iniciado una transacción");

    // Stopped after the second row: nothing stays.
    Fixture<SqliteLocalConnection> g;
    TextImport second(g.db);
    g.map(second, reader);
    Recorder stop;
    stop.stopAt = 2;
    ImportResult r = second.run(reader, true, &stop);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.imported, 0);
    EXPECT_EQ(shell(g.path, "SELECT COUNT(*) FROM clientes"), "0\n");

    // A commit that fails is rolled back and reported.
    Fixture<CommitRefused> h;
    TextImport third(h.db);
    h.map(third, reader);
    r = third.run(reader, true, nullptr);
    EXPECT_EQ(r.imported, 0);
    EXPECT_EQ(r.error,
              "ImportarTexto: no se pudo confirmar la importación; no se ha importado ninguna "
              "fila: commit rechazado");
    h.db.disconnect();
    EXPECT_EQ(shell(h.path, "SELECT COUNT(*) FROM clientes"), "0\n");
}

TEST(TextImport, FieldsWithoutHeaderShortRecordsAndRepeatedColumns) {
    Fixture<SqliteLocalConnection> f;
    DelimitedTextReader reader(';', 0);
    reader.load("Ana;1\nLuis\nEva;3;x\n");
    int records = 0, maxFields = 0;
    reader.count(records, maxFields);
    TextImport import(f.db);
    import.setFieldNames(reader.fieldNames(false, maxFields));
    import.setTable("clientes");
    import.addField(import.findField("Campo1"), import.findColumn("ciudad"));
    // A later relation for the same column wins.
    import.addField(import.findField("Campo1"), import.findColumn("nombre"));
    import.addField(import.findField("Campo2"), import.findColumn("codigo"));
    import.addConstant("x", import.findColumn("nombre"));
    import.removeRelation(3);
    Recorder progress;
    ImportResult r = import.run(reader, false, &progress);
    EXPECT_EQ(r.imported, 2);
    ASSERT_EQ(progress.failures.size(), 1u);
    EXPECT_EQ(progress.failures[0].row, 2);
    EXPECT_EQ(progress.failures[0].message, "DataRow[]: indice fuera de rango");
    EXPECT_EQ(shell(f.path, "SELECT nombre,quote(ciudad),codigo FROM clientes ORDER BY id"),
              "Ana|'Ana'|1\nEva|'Eva'|3\n");
}

}  // namespace

// Rows 7 and 300 repeat an earlier code; row 420 is not a number. Checked
// on a local file (one prepared statement) and on our server (batches).
template <class Connection>
void importWithFailures(Connection& db, const std::string& path) {
    db.execute(
        "CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT NOT NULL, ciudad TEXT, "
        "importe NUMERIC, alta DATE, pais TEXT, codigo INTEGER UNIQUE)");
    std::string csv = "Nombre,Codigo,Importe\n";
    const int rows = int(TextImport::kBatchRows) * 2 + 50;
    for (int i = 1; i <= rows; ++i) {
        const int code = i == 7 ? 3 : i == 300 ? 250 : i;
        csv += "n" + std::to_string(i) + "," +
               (i == 420 ? std::string("x") : std::to_string(code)) + "," + (i % 2 ? "1.25" : "") +
               "\n";
    }
    DelimitedTextReader reader(',', '"');
    reader.load(csv);
    int records = 0, maxFields = 0;
    reader.count(records, maxFields);
    TextImport import(db);
    import.setFieldNames(reader.fieldNames(true, maxFields));
    import.setTable("clientes");
    EXPECT_EQ(import.mapByName(), 3);
    Recorder progress;
    ImportResult r = import.run(reader, true, &progress);
    EXPECT_EQ(r.imported, rows - 3);
    EXPECT_EQ(r.failed, 3);
    EXPECT_EQ(progress.calls, rows);
    ASSERT_EQ(progress.failures.size(), 3u);
    EXPECT_EQ(progress.failures[0].row, 7);
    EXPECT_EQ(progress.failures[1].row, 300);
    EXPECT_EQ(progress.failures[2].row, 420);
    EXPECT_EQ(shell(path,
                    "SELECT count(*), count(DISTINCT codigo), count(importe), "
                    "sum(typeof(importe)='real'), sum(typeof(codigo)='integer') FROM clientes"),
              std::to_string(rows - 3) + "|" + std::to_string(rows - 3) + "|" +
                  std::to_string((rows - 3 + 1) / 2) + "|" + std::to_string((rows - 3 + 1) / 2) +
                  "|" + std::to_string(rows - 3) + "\n");
    EXPECT_EQ(shell(path, "SELECT count(*) FROM clientes WHERE nombre IN ('n7','n300','n420')"),
              "0\n");
}

TEST(TextImport, AFailingRowAmongManyIsTheOnlyOneLostOnAFile) {
    testsupport::TempFolder dir;
    SqliteLocalConnection db;
    ASSERT_TRUE(db.connect(String(dir.path), "", "", false, "-"));
    ASSERT_TRUE(db.openDatabase("datos.db", false, String(), String()));
    importWithFailures(db, dir.file("datos.db"));
}

TEST(TextImport, AFailingRowAmongManyIsTheOnlyOneLostOnOurServer) {
    testing_server::TempDir data;
    shell(data.file("datos.db"), "PRAGMA user_version=1");
    testing_server::ServerProcess server(data.path());
    ASSERT_TRUE(server.started());
    VORLIN::SqliteClientConnection db;
    ASSERT_TRUE(db.connect(String(server.address()), "", "", false, "datos"))
        << db.lastError().c_str();
    importWithFailures(db, data.file("datos.db"));
}
