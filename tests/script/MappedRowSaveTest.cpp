// Saving mapped rows writes what the script shows: a row of the child table
// added to a collection is that row (whichever connection object mapped
// it), and a sub-object the script points at another row puts that row's
// key in its reference column. Checked by reading the SQLite file back with
// the sqlite3 shell.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "RoutineRunFixture.h"
#include "core/String.h"

namespace {

using VORLIN::String;

// What the sqlite3 shell prints for `sql` on the database file.
std::string shell(const std::string& file, const std::string& sql) {
    std::string command = "sqlite3 -bail '" + file + "' \"" + sql + "\" 2>&1";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return "(no shell)";
    std::string out;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        out.append(buffer, n);
    ::pclose(pipe);
    return out;
}

class MappedRowSave : public ::testing::Test, protected scripttest::RoutineRunFixture {
protected:
    void SetUp() override {
        openDatabase(
            {"CREATE TABLE clientes (id INTEGER PRIMARY KEY, nombre TEXT)",
             "CREATE TABLE facturas (id INTEGER PRIMARY KEY, cliente INTEGER, nota TEXT)",
             "CREATE TABLE lineas (id INTEGER PRIMARY KEY, facturas INTEGER, n INTEGER)",
             "INSERT INTO clientes VALUES (1, 'Ana')", "INSERT INTO clientes VALUES (2, 'Luis')",
             "INSERT INTO facturas VALUES (1, 2, 'uno')", "INSERT INTO lineas VALUES (5, NULL, 50)",
             "INSERT INTO lineas VALUES (6, NULL, 60)"});
        file = folder.path + "/datos.db";
        ASSERT_TRUE(std::filesystem::exists(file));
    }

    // Loads `body` as "paso" (one run) and runs it; no error report.
    void run(const std::string& body) {
        std::string text =
            "FUNCTION paso(modo)\r\n"
            "    c = DbConnection(\"datos\")\r\n"
            "    c.addListReference(\"facturas.lineas\")\r\n"
            "    c.addReference(\"facturas.cliente: clientes\", false)\r\n"
            "    f = c.newInstance(\"facturas\", 1)\r\n" +
            body + "ENDFUNCTION\r\n";
        ASSERT_EQ(session.rutina().load(String(text)).toStdString(), "");
        step(1);
        EXPECT_EQ(err.str(), "");
    }

    std::string file;
};

// A stored row of the child table mapped through a second connection
// object: moved in (its variable owned it) or copied with its key (another
// value owns it); either way saving updates those rows and adds none. A
// new row from the second object is inserted once.
TEST_F(MappedRowSave, AddedRowsOfTheChildTableKeepTheirKeys) {
    run("    d = DbConnection(\"datos\")\r\n"
        "    l = Obj[](f.lineas)\r\n"
        "    n = d.newInstance(\"lineas\", 5)\r\n"
        "    l.add(n)\r\n"
        "    m = d.newInstance(\"lineas\", 6)\r\n"
        "    p = m\r\n"
        "    l.add(p)\r\n"
        "    o = d.newInstance(\"lineas\", 0)\r\n"
        "    o.n = 70\r\n"
        "    l.add(o)\r\n"
        "    t = l.size()\r\n"
        "    printMsg(t, false)\r\n"
        "    k = f.serialize()\r\n"
        "    k = f.serialize()\r\n");
    EXPECT_EQ(out.str(), "3\n");
    EXPECT_EQ(shell(file, "SELECT id, facturas, n FROM lineas ORDER BY id"),
              "5|1|50\n6|1|60\n7|1|70\n");
}

// A row of another table added to a collection is a new child row with the
// values of the columns of the same name.
TEST_F(MappedRowSave, AddedRowOfAnotherTableIsANewRow) {
    run("    l = Obj[](f.lineas)\r\n"
        "    x = c.newInstance(\"clientes\", 1)\r\n"
        "    l.add(x)\r\n"
        "    k = f.serialize()\r\n");
    EXPECT_EQ(shell(file, "SELECT id, facturas, n FROM lineas ORDER BY id"),
              "5||50\n6||60\n7|1|\n");
    EXPECT_EQ(shell(file, "SELECT count(*) FROM clientes"), "2\n");
}

// "setInstance" on a sub-object: the reference column shows the new key
// and saving writes it.
TEST_F(MappedRowSave, SubObjectSetInstanceMovesTheReference) {
    run("    a = f.cliente.nombre & \" \" & f.cliente\r\n"
        "    printMsg(a, false)\r\n"
        "    f.cliente.setInstance(1)\r\n"
        "    b = f.cliente.nombre & \" \" & f.cliente\r\n"
        "    printMsg(b, false)\r\n"
        "    k = f.serialize()\r\n");
    EXPECT_EQ(out.str(), "Luis 2\nAna 1\n");
    EXPECT_EQ(shell(file, "SELECT id, cliente, nota FROM facturas"), "1|1|uno\n");
}

// A sub-object the script empties and saves as a new row: the reference
// column takes the new row's key; a key that names no row leaves no
// reference at all.
TEST_F(MappedRowSave, SubObjectNewRowAndMissingRow) {
    run("    f.cliente.setNewInstance()\r\n"
        "    f.cliente.nombre = \"Eva\"\r\n"
        "    k = f.cliente.serialize()\r\n"
        "    a = f.cliente & \" \" & k\r\n"
        "    printMsg(a, false)\r\n"
        "    k = f.serialize()\r\n");
    EXPECT_EQ(out.str(), "3 3\n");
    EXPECT_EQ(shell(file, "SELECT id, nombre FROM clientes ORDER BY id"), "1|Ana\n2|Luis\n3|Eva\n");
    EXPECT_EQ(shell(file, "SELECT cliente FROM facturas WHERE id = 1"), "3\n");

    out.str("");
    run("    f.cliente.setInstance(99)\r\n"
        "    k = f.serialize()\r\n");
    EXPECT_EQ(shell(file, "SELECT cliente IS NULL FROM facturas WHERE id = 1"), "1\n");
}

// Through a reference to the sub-object held by a variable, "from" with
// the key counts as well.
TEST_F(MappedRowSave, SubObjectThroughAVariableAndFrom) {
    run("    s = Obj(f.cliente)\r\n"
        "    x = c.newInstance(\"clientes\", 1)\r\n"
        "    s.from(x, true)\r\n"
        "    a = f.cliente & \" \" & f.cliente.nombre\r\n"
        "    printMsg(a, false)\r\n"
        "    k = f.serialize()\r\n");
    EXPECT_EQ(out.str(), "1 Ana\n");
    EXPECT_EQ(shell(file, "SELECT cliente FROM facturas WHERE id = 1"), "1\n");
    EXPECT_EQ(shell(file, "SELECT id, nombre FROM clientes ORDER BY id"), "1|Ana\n2|Luis\n");
}

}  // namespace
