// CliRunner: the commands of quelmir-cli, on given output and error
// streams so that tests can run them in-process.
//
//   quelmir-cli [--connect CONNECTION[=NAME]]... [--yes] [--max-steps N] script FILE
//   quelmir-cli --connect CONNECTION query SQL [--out FILE] [--table NAME] [--transaction]
//   quelmir-cli explain FILE
//   quelmir-cli --connect CONNECTION exec SQLFILE
//   quelmir-cli --connect CONNECTION dump OUTFILE
//   quelmir-cli --connect CONNECTION import FILE TABLE [options] (see CliImport)
//   quelmir-cli --help
//
// "script" opens the connections (in order; the first that fails is
// reported as "quelmir-cli: CONNECTION: text" and nothing runs), loads FILE and
// runs its function "main": "printMsg" lines go to the output stream,
// message boxes to the error stream as "CAPTION: text", and "confirm" is
// answered yes only under --yes; --max-steps stops a run (as an error)
// after N instructions. "explain" prints the listing of "main".
// "exec" and "dump" are the main window's "Ejecutar archivo sql" and "Dump
// database" on the first --connect connection (SqlFileJob, DatabaseDump):
// the whole file in one transaction, rolled back on failure; the database
// as SQL, schema and rows, into OUTFILE ("-": the output stream). Both
// write nothing but the dump on the output stream and their error on the
// error stream.
// "query" runs one statement and prints or saves its rows (QueryCommand).
//
// Exit status: 0; 1 when an error report was shown (load error, missing
// main, run-time failure), a file could not be read, a connection could
// not be opened, a SQL file failed (rolled back) or a dump could not be
// written; 2 for a command line it does not understand.
//
// Ownership: owns the connections it opens, closed and deleted when the
// run ends. Nothing escapes: every failure becomes a message and a status.
// Application class (no namespace); one thread.
#pragma once

#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace VORLIN {
class DbConnection;
}

class CliRunner {
public:
    CliRunner(std::ostream& out, std::ostream& err) : out_(out), err_(err) {}

    // Runs the command line (without the program name); the exit status.
    int run(const std::vector<std::string>& args);

    static const char* usage();

private:
    int runScript(const std::string& file, const std::vector<std::string>& connectionTexts,
                  bool yes, unsigned long long maxSteps);
    // A decimal count above 0 (at most 18 digits).
    static bool parseCount(const std::string& text, unsigned long long& out);
    int explain(const std::string& file);
    // "exec" and "dump" on the first of the connections.
    int runJob(const std::string& command, const std::string& file,
               const std::vector<std::string>& connectionTexts);
    // Opens the connection named by `text` (labelled); null after writing
    // the reason to the error stream.
    std::unique_ptr<VORLIN::DbConnection> openConnection(const std::string& text);
    void closeConnection(VORLIN::DbConnection& connection);
    bool readFile(const std::string& file, std::string& text);
    int usageError(const std::string& message);

    std::ostream& out_;
    std::ostream& err_;
};
