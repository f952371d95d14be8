#include "tools/cli/DesignCommand.h"

#include <ostream>

#include "app/designer/QueryDesignFile.h"
#include "app/designer/QuerySqlBuilder.h"
#include "core/GeneralException.h"
#include "tools/cli/CliRunner.h"

using VORLIN::GeneralException;
using VORLIN::String;

int DesignCommand::usageError(const std::string& message) {
    err_ << "quelmir-cli: " << message << "\n" << CliRunner::usage();
    return 2;
}

int DesignCommand::run(const std::vector<std::string>& args,
                       const std::vector<std::string>& connections) {
    if (args.empty()) return usageError("design necesita un archivo");
    if (args.size() > 1) return usageError("argumento de más: " + args[1]);
    if (!connections.empty()) return usageError("design no usa conexiones (--connect)");
    try {
        QueryDesignFile::Loaded loaded = QueryDesignFile::load(String(args[0]));
        for (const String& warning : loaded.warnings)
            err_ << "quelmir-cli: " << warning.view() << "\n";
        String sql = QuerySqlBuilder().build(loaded.design);
        out_ << sql.view() << "\n";
        out_.flush();
        return 0;
    } catch (const GeneralException& e) {
        err_ << "quelmir-cli: " << e.message() << "\n";
        return 1;
    }
}
