// CliImport: quelmir-cli's "import" command, which puts a delimited text
// file into a table with the same reader and import as the desktop wizard.
//
//   quelmir-cli --connect CONNECTION import FILE TABLE
//       [--separator tab|comma|semicolon|pipe] [--delimiter none|double|single]
//       [--no-header] [--map FIELD=COLUMN]... [--const TEXT=COLUMN]...
//
// Defaults as the wizard's: tab, double quote, names in the first line.
// FIELD is a file field name ("Campo1", "Campo2"... with --no-header),
// COLUMN a table column name; without --map every field goes to the column
// of the same name. Progress goes to the error stream about once a second,
// each failed row as "quelmir-cli: fila N (línea L): text", and the last
// line of the output stream says how many rows went in and how many failed.
//
// Exit status: 0 when every row went in; 1 when a row failed, the commit
// failed, the file, the table or the connection could not be used, or the
// mapping names something that does not exist (nothing is then written);
// 2 for arguments it does not understand.
//
// Ownership: opens and closes its own connection. Nothing escapes:
// failures become messages and a status. Application class; one thread.
#pragma once

#include <iosfwd>
#include <string>
#include <vector>

class CliImport {
public:
    CliImport(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    // `args`: what follows "import"; `connections`: the --connect texts.
    int run(const std::vector<std::string>& args, const std::vector<std::string>& connections);

private:
    int usageError(const std::string& message);

    std::ostream& out_;
    std::ostream& err_;
};
