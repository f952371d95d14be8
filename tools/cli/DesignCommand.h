// DesignCommand: quelmir-cli's "design" command.
//
//   quelmir-cli design FILE.xml
//
// Reads a design saved by the query designer ("Guardar") and writes the SQL
// text that "Procesar" builds from it to the output stream, followed by a
// line end; no connection is needed. "OUTER JOIN" relations are written as
// FULL OUTER JOIN when the SQLite library the program runs with has it.
// A relation naming a table that no design row has is reported on the error
// stream ("quelmir-cli: text") and the text is still written.
//
// Exit status: 0; 1 when the file cannot be read, holds no design ("El
// archivo no contiene información de un diseño de consulta"), has no design
// rows or asks for a join the library lacks (the message on the error
// stream); 2 for a command line it does not understand.
//
// Application class (no namespace); one thread. Nothing escapes: failures
// become statuses.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class DesignCommand {
public:
    DesignCommand(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    // `args`: what follows "design" on the command line; `connections`: the
    // --connect texts given before it (the command uses none). Answers the
    // exit status.
    int run(const std::vector<std::string>& args, const std::vector<std::string>& connections);

private:
    int usageError(const std::string& message);

    std::ostream& out_;
    std::ostream& err_;
};
