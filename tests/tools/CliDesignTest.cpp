// quelmir-cli design as a real process: the SQL of a saved design on the
// standard output, composed with query on a real SQLite file; files that
// hold no design, doubtful relations and bad command lines.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/designer/QueryDesign.h"
#include "app/designer/QueryDesignFile.h"
#include "tests/app/query/SheetReader.h"
#include "tests/support/TempFolder.h"

using querytest::readAll;
using querytest::run;

namespace {

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

struct Cli {
    int status = -1;
    std::string out;
    std::string err;
};

struct CliDesign : ::testing::Test {
    testsupport::TempFolder dir{"quelmir-clidesign"};
    std::string cli = quote(QUELMIR_CLI_BIN);

    // Runs a shell command line; its output and error streams are kept.
    Cli shell(const std::string& line) {
        std::string cmd = "bash -c " + quote(line) + " >" + quote(dir.file("out.txt")) + " 2>" +
                          quote(dir.file("err.txt"));
        int raw = std::system(cmd.c_str());
        Cli r;
        r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        r.out = readAll(dir.file("out.txt"));
        r.err = readAll(dir.file("err.txt"));
        return r;
    }
    Cli design(const std::string& args) { return shell(cli + " design " + args); }
    std::string write(const std::string& name, const std::string& text) {
        std::ofstream(dir.file(name), std::ios::binary) << text;
        return dir.file(name);
    }
};

TEST_F(CliDesign, PrintsTheSqlAndComposesWithQuery) {
    const std::string db = dir.file("ventas.db");
    run("sqlite3 " + quote(db) + " " +
        quote("CREATE TABLE clientes(id INTEGER PRIMARY KEY, nombre TEXT);"
              "CREATE TABLE \"order items\"(id INTEGER PRIMARY KEY, cliente INT, total INT);"
              "INSERT INTO clientes VALUES(1,'Ana'),(2,'Luis'),(3,'Eva');"
              "INSERT INTO \"order items\" VALUES(1,1,10),(2,1,5),(3,2,7),(4,3,1);"));
    // Saved as the designer saves it.
    QueryDesign d;
    int r = d.addRow("clientes", "nombre");
    d.setChecked(r, "Grupo", true);
    d.setCell(r, "Orden", "DESC");
    r = d.addRow("order items", "total");
    d.setCell(r, "Funcion", "SUM");
    d.setCell(r, "Alias", "suma");
    d.setCell(r, "Having", "> 5");
    r = d.addRow("clientes", "id");
    d.setChecked(r, "Ver", false);
    d.setCell(r, "Filtro", "< 3");
    d.setCell(r, "O", "= 3");
    d.addRelation({"clientes", "order items", "id", "cliente", "INNER JOIN"});
    const std::string file = dir.file("ventas.xml");
    QueryDesignFile::save(d, file);

    Cli c = design(quote(file));
    EXPECT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.err, "");
    EXPECT_EQ(c.out,
              "SELECT clientes.nombre, SUM(\"order items\".total) AS suma\r\n"
              "FROM clientes INNER JOIN \"order items\" ON clientes.id = \"order items\".cliente"
              "\r\nWHERE (clientes.id < 3 OR clientes.id = 3)\r\nGROUP BY clientes.nombre\r\n"
              "HAVING SUM(\"order items\".total) > 5\r\nORDER BY clientes.nombre DESC;\n");

    c = shell(cli + " --connect " + quote("sqlite:" + db) + " query \"$(" + cli + " design " +
              quote(file) + ")\"");
    EXPECT_EQ(c.status, 0) << c.err;
    EXPECT_EQ(c.out, "nombre\tsuma\nLuis\t7\nAna\t15\n");
    EXPECT_EQ(c.err, "");
}

TEST_F(CliDesign, FilesWithoutADesignAndDoubtfulOnes) {
    const std::string refused =
        "quelmir-cli: El archivo no contiene información de un diseño de consulta\n";
    for (const char* text : {"<COLORSCHEMA><FIXED/></COLORSCHEMA>",
                             "<CONSULTA><COLUMNAS><Columna Tabla=\"t\" Campo=\"a\"/></COLUMNAS>"
                             "</CONSULTA>",
                             "<CONSULTA><TIPO>8</TIPO></CONSULTA>", "no es xml"}) {
        Cli c = design(quote(write("mal.xml", text)));
        EXPECT_EQ(c.status, 1) << text;
        EXPECT_EQ(c.out, "");
        EXPECT_EQ(c.err, refused) << text;
    }
    Cli c = design(quote(write("vacio.xml", "<CONSULTA><TIPO>2</TIPO></CONSULTA>")));
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.err, "quelmir-cli: Seleccione al menos una columna de una tabla\n");
    c = design(quote(dir.file("falta.xml")));
    EXPECT_EQ(c.status, 1);
    EXPECT_EQ(c.err, "quelmir-cli: No se pudo leer el archivo " + dir.file("falta.xml") + "\n");

    // A relation to a table the design lacks: reported, the text still made.
    c = design(quote(
        write("rel.xml",
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<CONSULTA><TIPO>1</TIPO><COLUMNAS>"
              "<Columna Tabla=\"t\" Campo=\"a\" Ver=\"1\" Extra=\"x\"/></COLUMNAS><RELACIONES>"
              "<Relacion Tabla1=\"t\" Tabla2=\"u\" Campo1=\"a\" Campo2=\"b\" Join=\"LEFT JOIN\"/>"
              "</RELACIONES></CONSULTA>")));
    EXPECT_EQ(c.status, 0);
    EXPECT_EQ(c.out, "SELECT t.a\r\nFROM t LEFT JOIN u ON t.a = u.b;\n");
    EXPECT_EQ(c.err,
              "quelmir-cli: La relación t.a = u.b nombra una tabla que no está en el diseño: u\n");
}

TEST_F(CliDesign, CommandLine) {
    Cli c = design("");
    EXPECT_EQ(c.status, 2);
    EXPECT_EQ(c.err.rfind("quelmir-cli: design necesita un archivo\nUso:", 0), 0u) << c.err;
    c = design("a.xml b.xml");
    EXPECT_EQ(c.status, 2);
    EXPECT_EQ(c.err.rfind("quelmir-cli: argumento de más: b.xml\n", 0), 0u) << c.err;
    c = shell(cli + " --connect sqlite:/tmp/x.db design a.xml");
    EXPECT_EQ(c.status, 2);
    EXPECT_EQ(c.err.rfind("quelmir-cli: design no usa conexiones (--connect)\n", 0), 0u);
    c = shell(cli + " --help");
    EXPECT_EQ(c.status, 0);
    EXPECT_NE(c.out.find("  quelmir-cli design ARCHIVO.xml\n"), std::string::npos);
}

}  // namespace
