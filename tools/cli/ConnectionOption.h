// ConnectionOption: a connection named on quelmir-cli's command line
// ("--connect CONNECTION[=NAME]"), and the table of back ends that open one.
//
// CONNECTION is KIND ":" the back end's own text: "sqlite:PATH" (a database file;
// its folder is the host), "server:HOST:PORT/DATABASE",
// "mysql:USER:PASSWORD@HOST:PORT/DATABASE", "odbc:DSN" or
// "odbc:DSN:USER:PASSWORD". An optional "=NAME" at the end (after the last
// "=") is the label scripts find the connection by; by default the label is
// the connection's alias; a password that holds "=" therefore needs an
// explicit "=NAME". Each kind has one opener function in the table
// (ConnectionOption.cpp): adding a back end is adding its opener.
//
// Ownership: open() hands the new connection to the caller. Nothing
// throws: failures come back as text (the back end's own text when it
// refused). Application class (no namespace); one thread.
#pragma once

#include <memory>
#include <string>

namespace VORLIN {
class DbConnection;
}

struct ConnectionOption {
    std::string text;   // as written
    std::string kind;   // "sqlite", "server", "mysql", "odbc"
    std::string body;   // what follows "KIND:"
    std::string label;  // "=NAME", or empty

    // Splits `text`; false with `error` set when it has no "KIND:".
    static bool parse(const std::string& text, ConnectionOption& out, std::string& error);
    // Opens the connection; null with `error` set on failure.
    std::unique_ptr<VORLIN::DbConnection> open(std::string& error) const;
    // The kinds that can be opened in this build, separated by ", ".
    static std::string availableKinds();
};
