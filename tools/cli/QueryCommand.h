// QueryCommand: quelmir-cli's "query" command.
//
//   quelmir-cli --connect CONNECTION query "SQL" [--out FILE] [--table NAME]
//               [--transaction]
//
// Runs the statement on the one connection as the query window's
// "Ejecutar" runs it (QueryRunner). Rows (a table or a query) go to FILE
// as "Guardar" saves them, the format chosen by its extension (.txt, .xls,
// .xlsx, .sql; --table names the table of the INSERT statements of a
// query's rows), and the saved message goes to the output stream; without
// --out they go to the output stream as tab-separated text, the column
// names first. A statement without rows writes its message ("Comando
// completado", "Limpieza terminada"); --transaction runs a command in a
// transaction like the window's "En una transacción".
//
// Exit status: 0; 1 when the connection cannot be opened, the statement
// fails or the file cannot be saved (the message on the error stream as
// "quelmir-cli: text"); 2 for a command line it does not understand.
//
// Ownership: owns the connection it opens for the run. Application class
// (no namespace); one thread. Nothing escapes: failures become statuses.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class QueryCommand {
public:
    QueryCommand(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    // `args`: what follows "query" on the command line; `connections`: the
    // --connect texts given before it. Answers the exit status.
    int run(const std::vector<std::string>& args, const std::vector<std::string>& connections);

private:
    int usageError(const std::string& message);

    std::ostream& out_;
    std::ostream& err_;
};
