#include "tools/cli/QueryCommand.h"

#include <memory>
#include <ostream>

#include "app/query/QueryRunner.h"
#include "app/query/ResultSaver.h"
#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "db/DbConnection.h"
#include "tools/cli/CliRunner.h"
#include "tools/cli/ConnectionOption.h"

using VORLIN::DbConnection;
using VORLIN::String;

int QueryCommand::usageError(const std::string& message) {
    err_ << "quelmir-cli: " << message << "\n" << CliRunner::usage();
    return 2;
}

int QueryCommand::run(const std::vector<std::string>& args,
                      const std::vector<std::string>& connections) {
    if (args.empty()) return usageError("query necesita una instrucción SQL");
    std::string out, table;
    bool transaction = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--out" || a == "--table") {
            if (i + 1 >= args.size()) return usageError(a + " necesita un valor");
            (a == "--out" ? out : table) = args[++i];
        } else if (a == "--transaction") {
            transaction = true;
        } else {
            return usageError("argumento de más: " + a);
        }
    }
    if (connections.size() != 1) return usageError("query necesita una conexión (--connect)");
    if (!out.empty() && ResultSaver::formatOf(String(out)) == ResultSaver::Format::Unknown) {
        String message;
        return usageError(message.format(ResultSaver::kUnknownFormat, out.c_str()).toStdString());
    }

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
        QueryRunner runner(*db);
        QueryClassifier::Result r = runner.run(String(args[0]), transaction);
        if (VORLIN::DataSet* rows = runner.dataSet()) {
            if (out.empty())
                ResultSaver::writeText(*rows, out_);
            else
                out_ << ResultSaver::save(*rows, String(out), String(table)).view() << "\n";
        } else if (!out.empty()) {
            err_ << "quelmir-cli: la instrucción no devuelve filas; no se guardó " << out << "\n";
            status = 1;
        } else if (*r.message()) {
            out_ << r.message() << "\n";
        }
    } catch (const VORLIN::GeneralException& e) {
        err_ << "quelmir-cli: " << e.message() << "\n";
        status = 1;
    }
    try {
        db->disconnect();
    } catch (const VORLIN::GeneralException& e) {
        err_ << "quelmir-cli: " << e.message() << "\n";
    }
    return status;
}
