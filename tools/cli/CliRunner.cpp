#include "tools/cli/CliRunner.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>

#include "app/main/DatabaseDump.h"
#include "app/main/SqlFileJob.h"
#include "core/GeneralException.h"
#include "db/DbConnection.h"
#include "script/HeadlessHost.h"
#include "script/ScriptFunction.h"
#include "script/ScriptSession.h"
#include "tools/cli/CliImport.h"
#include "tools/cli/ConnectionOption.h"
#include "tools/cli/DesignCommand.h"
#include "tools/cli/QueryCommand.h"

using VORLIN::DbConnection;
using VORLIN::HeadlessHost;
using VORLIN::ScriptSession;
using VORLIN::String;

const char* CliRunner::usage() {
    return "Uso:\n"
           "  quelmir-cli [--connect CONEXION[=NOMBRE]]... [--yes] [--max-steps N] script ARCHIVO\n"
           "  quelmir-cli --connect CONEXION query SQL [--out ARCHIVO] [--table TABLA] "
           "[--transaction]\n"
           "  quelmir-cli explain ARCHIVO\n"
           "  quelmir-cli design ARCHIVO.xml\n"
           "  quelmir-cli --connect CONEXION exec ARCHIVO_SQL\n"
           "  quelmir-cli --connect CONEXION dump ARCHIVO_SALIDA\n"
           "  quelmir-cli --connect CONEXION import ARCHIVO TABLA [--separator "
           "tab|comma|semicolon|pipe]\n"
           "              [--delimiter none|double|single] [--no-header]\n"
           "              [--map CAMPO=COLUMNA]... [--const TEXTO=COLUMNA]...\n"
           "  quelmir-cli --help\n"
           "\n"
           "Órdenes:\n"
           "  script ARCHIVO   Carga el script y ejecuta su función \"main\". Las líneas de\n"
           "                   printMsg van a la salida estándar; los mensajes, a la salida\n"
           "                   de errores como \"TITULO: texto\".\n"
           "  explain ARCHIVO  Escribe el listado de la función \"main\" (el texto que el\n"
           "                   cliente de escritorio escribe en trace.log).\n"
           "  design ARCHIVO.xml  Escribe la instrucción SQL que \"Procesar\" genera del\n"
           "                   diseño de consulta guardado (\"Guardar\" del diseñador); no\n"
           "                   necesita conexión. Una relación OUTER JOIN se escribe FULL\n"
           "                   OUTER JOIN (SQLite 3.39 o posterior). Sale con 1 si el archivo\n"
           "                   no contiene un diseño o este no tiene columnas.\n"
           "  exec ARCHIVO_SQL Ejecuta el archivo SQL en la primera conexión (--connect),\n"
           "                   como \"Ejecutar archivo sql\": todo el archivo en una\n"
           "                   transacción, que se deshace si una sentencia falla.\n"
           "  dump ARCHIVO_SALIDA  Escribe la base de datos de la primera conexión como\n"
           "                   SQL (esquema y filas), como \"Dump database\"; \"-\" es la\n"
           "                   salida estándar. Un archivo anterior de ese nombre solo se\n"
           "                   reemplaza cuando el volcado se escribió entero.\n"
           "  query SQL        Ejecuta la instrucción en la conexión dada con --connect como\n"
           "                   \"Ejecutar\" de la ventana de datos. Las filas van a la salida\n"
           "                   estándar separadas por tabulaciones, con los nombres de las\n"
           "                   columnas primero; una orden escribe su mensaje.\n"
           "    --out ARCHIVO  Guarda las filas como \"Guardar\", en el formato de la\n"
           "                   extensión: .txt, .xls, .xlsx o .sql.\n"
           "    --table TABLA  Tabla de las instrucciones INSERT al guardar como .sql el\n"
           "                   resultado de una consulta (una tabla abierta usa la suya).\n"
           "    --transaction  Ejecuta la orden en una transacción.\n"
           "  import ARCHIVO TABLA  Importa un archivo de texto delimitado en la tabla, en una\n"
           "                   transacción, como el asistente del cliente de escritorio. Por\n"
           "                   omisión: tabulador, comillas dobles y nombres en la primera línea\n"
           "                   (con --no-header los campos se llaman Campo1, Campo2...). Sin\n"
           "                   --map cada campo va a la columna del mismo nombre; --const pone\n"
           "                   un texto fijo en una columna. Las filas que fallan se informan\n"
           "                   (fila, línea y mensaje) y se saltan; la última línea dice cuántas\n"
           "                   filas se importaron y cuántas fallaron. Sale con 1 si alguna "
           "falló.\n"
           "\n"
           "Opciones:\n"
           "  --connect CONEXION[=NOMBRE]  Abre una conexión antes de ejecutar el script; los\n"
           "                   scripts la encuentran con DbConnection(\"NOMBRE\") (por omisión,\n"
           "                   su alias). CONEXION es una de:\n"
           "                     sqlite:RUTA            un archivo de base de datos SQLite (su\n"
           "                                            carpeta es el host)\n"
           "                     server:HOST:PUERTO/BASE  el servicio SQLite remoto\n"
           "                     mysql:USUARIO:CLAVE@HOST:PUERTO/BASE\n"
           "                     odbc:DSN  u  odbc:DSN:USUARIO:CLAVE\n"
           "                   El nombre va tras el último \"=\": una clave que contiene\n"
           "                   \"=\" necesita un =NOMBRE explícito.\n"
           "  --yes            Responde que sí a cada confirm del script (si no, no).\n"
           "  --max-steps N    Detiene el script (con error) tras N instrucciones; para\n"
           "                   ejecuciones desatendidas de scripts que podrían no terminar.\n"
           "  --help           Muestra esta ayuda.\n"
           "\n"
           "Estado de salida: 0 si todo fue bien; 1 si se mostró un error (error de carga,\n"
           "falta main, fallo en la ejecución), no se pudo leer el archivo, no se pudo abrir\n"
           "una conexión, falló el archivo SQL (deshecho) o no se pudo escribir el volcado;\n"
           "2 si la línea de órdenes no es válida.\n"
           "\n"
           "Ejemplos:\n"
           "  quelmir-cli --connect sqlite:datos/ventas.db=ventas script informe.qs\n"
           "  quelmir-cli --connect sqlite:datos/ventas.db exec altas.sql\n"
           "  quelmir-cli --connect sqlite:datos/ventas.db dump - > ventas.sql\n"
           "  quelmir-cli --connect sqlite:datos/ventas.db query \"$(quelmir-cli design "
           "ventas.xml)\"\n"
           "  quelmir-cli --connect sqlite:datos/ventas.db import clientes.csv clientes \\\n"
           "      --separator comma --map Nombre=nombre --const MX=pais\n";
}

int CliRunner::usageError(const std::string& message) {
    err_ << "quelmir-cli: " << message << "\n" << usage();
    return 2;
}

bool CliRunner::readFile(const std::string& file, std::string& text) {
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        err_ << "quelmir-cli: no se pudo leer " << file << "\n";
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    text = s.str();
    return true;
}

int CliRunner::run(const std::vector<std::string>& args) {
    std::vector<std::string> connectionTexts;
    bool yes = false;
    unsigned long long maxSteps = 0;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            out_ << usage();
            return 0;
        }
        if (a == "--yes") {
            yes = true;
        } else if (a == "--connect") {
            if (i + 1 >= args.size()) return usageError("--connect necesita una conexión");
            connectionTexts.push_back(args[++i]);
        } else if (a.rfind("--connect=", 0) == 0) {
            connectionTexts.push_back(a.substr(10));
        } else if (a == "--max-steps") {
            if (i + 1 >= args.size() || !parseCount(args[i + 1], maxSteps))
                return usageError("--max-steps necesita un número mayor que 0");
            ++i;
        } else if (a == "exec" || a == "dump") {
            if (i + 1 >= args.size()) return usageError(a + " necesita un archivo");
            if (i + 2 < args.size()) return usageError("argumento de más: " + args[i + 2]);
            if (connectionTexts.empty())
                return usageError(a + " necesita una conexión (--connect)");
            return runJob(a, args[i + 1], connectionTexts);
        } else if (a == "import") {
            CliImport command(out_, err_);
            return command.run({args.begin() + long(i) + 1, args.end()}, connectionTexts);
        } else if (a == "script" || a == "explain") {
            if (i + 1 >= args.size()) return usageError(a + " necesita un archivo");
            if (i + 2 < args.size()) return usageError("argumento de más: " + args[i + 2]);
            if (a == "explain") return explain(args[i + 1]);
            return runScript(args[i + 1], connectionTexts, yes, maxSteps);
        } else if (a == "design") {
            DesignCommand command(out_, err_);
            return command.run({args.begin() + long(i) + 1, args.end()}, connectionTexts);
        } else if (a == "query") {
            QueryCommand query(out_, err_);
            return query.run(std::vector<std::string>(args.begin() + long(i) + 1, args.end()),
                             connectionTexts);
        } else {
            return usageError("orden desconocida: " + a);
        }
    }
    return usageError("falta la orden");
}

bool CliRunner::parseCount(const std::string& text, unsigned long long& out) {
    if (text.empty() || text.size() > 18) return false;
    unsigned long long n = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + unsigned(c - '0');
    }
    out = n;
    return n > 0;
}

int CliRunner::runScript(const std::string& file, const std::vector<std::string>& connectionTexts,
                         bool yes, unsigned long long maxSteps) {
    HeadlessHost host(out_, err_);
    host.setConfirmAnswer(yes);
    std::vector<std::unique_ptr<DbConnection>> connections;
    for (const std::string& text : connectionTexts) {
        std::unique_ptr<DbConnection> c = openConnection(text);
        if (!c) return 1;
        host.addConnection(c->getLabel(), c.get());
        connections.push_back(std::move(c));
    }
    std::string text;
    if (!readFile(file, text)) return 1;
    int reports;
    {
        ScriptSession session(host);
        VORLIN::ScriptFunction::setStepLimit(maxSteps);
        reports = session.run(String(text));
        VORLIN::ScriptFunction::setStepLimit(0);
    }
    for (auto& c : connections)
        closeConnection(*c);
    return reports > 0 ? 1 : 0;
}

std::unique_ptr<DbConnection> CliRunner::openConnection(const std::string& text) {
    ConnectionOption option;
    std::string error;
    std::unique_ptr<DbConnection> c;
    if (ConnectionOption::parse(text, option, error)) c = option.open(error);
    if (!c) {
        err_ << "quelmir-cli: " << text << ": " << error << "\n";
        return nullptr;
    }
    c->setLabel(option.label.empty() ? c->getAlias() : String(option.label));
    return c;
}

void CliRunner::closeConnection(DbConnection& connection) {
    try {
        connection.disconnect();
    } catch (const VORLIN::GeneralException& e) {
        err_ << "quelmir-cli: " << e.message() << "\n";
    }
}

int CliRunner::runJob(const std::string& command, const std::string& file,
                      const std::vector<std::string>& connectionTexts) {
    // Only the first connection is used; the others are not even opened.
    ConnectionOption option;
    std::string ignored;
    if (command == "dump" && ConnectionOption::parse(connectionTexts.front(), option, ignored) &&
        option.kind == "sqlite" && !option.body.empty() && !std::filesystem::exists(option.body)) {
        // Opening would create an empty database: a mistyped name would
        // leave a new file behind and dump nothing.
        err_ << "quelmir-cli: " << connectionTexts.front() << ": no existe " << option.body << "\n";
        return 1;
    }
    std::unique_ptr<DbConnection> c = openConnection(connectionTexts.front());
    if (!c) return 1;
    bool ok;
    String error;
    if (command == "exec") {
        SqlFileJob job(*c);
        ok = job.run(String(file));
        error = job.error();
    } else {
        DatabaseDump dump(*c, out_);
        ok = dump.run(String(file));
        error = dump.error();
    }
    if (!ok) err_ << "quelmir-cli: " << error.view() << "\n";
    closeConnection(*c);
    return ok ? 0 : 1;
}

int CliRunner::explain(const std::string& file) {
    std::string text;
    if (!readFile(file, text)) return 1;
    HeadlessHost host(out_, err_);
    ScriptSession session(host);
    String listing = session.explain(String(text));
    if (session.rutina().errorReports() > 0) return 1;
    out_ << listing.view();
    return 0;
}
