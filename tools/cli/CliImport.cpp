#include "tools/cli/CliImport.h"

#include <chrono>
#include <iostream>
#include <memory>

#include "app/import/DelimitedTextReader.h"
#include "app/import/TextImport.h"
#include "core/GeneralException.h"
#include "db/DbConnection.h"
#include "tools/cli/ConnectionOption.h"

using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::String;

namespace {

struct NamedPair {
    std::string left, right;
};

// "LEFT=RIGHT", split at the last "=" (a column name holds none).
bool splitPair(const std::string& text, NamedPair& out) {
    size_t eq = text.rfind('=');
    if (eq == std::string::npos || eq + 1 == text.size()) return false;
    out.left = text.substr(0, eq);
    out.right = text.substr(eq + 1);
    return true;
}

// Shows progress about once a second: the clock is read every 1024 rows
// only, so showing costs nothing next to the inserts.
class StreamProgress : public ImportProgress {
public:
    explicit StreamProgress(std::ostream& err) : err_(err), last_(Clock::now()) {}

    bool rowDone(int n, int total, int failed) override {
        if ((n & 1023) != 0 && n != total) return true;
        auto now = Clock::now();
        if (n != total && now - last_ < std::chrono::seconds(1)) return true;
        last_ = now;
        err_ << "Importado " << n << "/" << total;
        if (failed > 0) err_ << " (" << failed << " con error)";
        err_ << "\n";
        return true;
    }
    void rowFailed(const ImportFailure& f) override {
        err_ << "quelmir-cli: fila " << f.row << " (línea " << f.line << "): " << f.message.view()
             << "\n";
    }

private:
    using Clock = std::chrono::steady_clock;
    std::ostream& err_;
    Clock::time_point last_;
};

}  // namespace

int CliImport::usageError(const std::string& message) {
    err_ << "quelmir-cli: import: " << message << "\n";
    return 2;
}

int CliImport::run(const std::vector<std::string>& args,
                   const std::vector<std::string>& connections) {
    std::vector<std::string> positional;
    char separator = '\t';
    char delimiter = '"';
    bool header = true;
    std::vector<NamedPair> maps, constants;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        bool takesValue =
            a == "--separator" || a == "--delimiter" || a == "--map" || a == "--const";
        if (takesValue && i + 1 >= args.size()) return usageError(a + " necesita un valor");
        if (a == "--separator") {
            const std::string& v = args[++i];
            if (v == "tab")
                separator = '\t';
            else if (v == "comma")
                separator = ',';
            else if (v == "semicolon")
                separator = ';';
            else if (v == "pipe")
                separator = '|';
            else
                return usageError("separador desconocido: " + v);
        } else if (a == "--delimiter") {
            const std::string& v = args[++i];
            if (v == "none")
                delimiter = 0;
            else if (v == "double")
                delimiter = '"';
            else if (v == "single")
                delimiter = '\'';
            else
                return usageError("delimitador desconocido: " + v);
        } else if (a == "--no-header") {
            header = false;
        } else if (a == "--map" || a == "--const") {
            NamedPair pair;
            if (!splitPair(args[++i], pair))
                return usageError(a + " espera TEXTO=COLUMNA: " + args[i]);
            (a == "--map" ? maps : constants).push_back(pair);
        } else if (a.rfind("--", 0) == 0) {
            return usageError("opción desconocida: " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) return usageError("se esperaba ARCHIVO TABLA");
    if (connections.size() != 1) return usageError("necesita una sola --connect CONEXION");

    ConnectionOption option;
    std::string error;
    std::unique_ptr<DbConnection> db;
    if (ConnectionOption::parse(connections[0], option, error)) db = option.open(error);
    if (!db) {
        err_ << "quelmir-cli: " << connections[0] << ": " << error << "\n";
        return 1;
    }
    int status = 0;
    try {
        DelimitedTextReader reader(separator, delimiter);
        reader.loadFile(String(positional[0]));
        int records = 0, maxFields = 0;
        reader.count(records, maxFields);
        TextImport import(*db);
        import.setFieldNames(reader.fieldNames(header, maxFields));
        import.setTable(String(positional[1]));
        for (const NamedPair& m : maps) {
            int field = import.findField(String(m.left));
            int column = import.findColumn(String(m.right));
            if (field < 0) throw GeneralException("import: el archivo no tiene el campo " + m.left);
            if (column < 0)
                throw GeneralException("import: la tabla no tiene la columna " + m.right);
            import.addField(field, column);
        }
        if (maps.empty()) import.mapByName();
        for (const NamedPair& c : constants) {
            int column = import.findColumn(String(c.right));
            if (column < 0)
                throw GeneralException("import: la tabla no tiene la columna " + c.right);
            import.addConstant(String(c.left), column);
        }
        if (reader.encoding() != DelimitedTextReader::Encoding::Utf8)
            err_ << "quelmir-cli: " << positional[0] << " no es UTF-8: leído como "
                 << DelimitedTextReader::encodingName(reader.encoding()) << "\n";
        StreamProgress progress(err_);
        ImportResult result = import.run(reader, header, &progress);
        if (!result.error.isEmpty()) err_ << "quelmir-cli: " << result.error.view() << "\n";
        out_ << "Filas importadas: " << result.imported << ", con error: " << result.failed << "\n";
        status = result.failed > 0 || !result.error.isEmpty() ? 1 : 0;
    } catch (const GeneralException& e) {
        err_ << "quelmir-cli: " << e.message() << "\n";
        status = 1;
    }
    try {
        db->disconnect();
    } catch (const GeneralException& e) {
        err_ << "quelmir-cli: " << e.message() << "\n";
    }
    return status;
}
