#include "app/query/ResultSaver.h"

#include <ostream>

#include "app/query/ReplacingFile.h"
#include "app/query/XlsxExport.h"
#include "core/GeneralException.h"
#include "data/DataSet.h"
#include "data/TableDataset.h"

using VORLIN::DataSet;
using VORLIN::GeneralException;
using VORLIN::String;
using VORLIN::TableDataset;

ResultSaver::Format ResultSaver::formatOf(const String& path) {
    std::string_view p = path.view();
    size_t slash = p.find_last_of('/');
    size_t dot = p.find_last_of('.');
    if (dot == std::string_view::npos || (slash != std::string_view::npos && dot < slash))
        return Format::Unknown;
    String ext(p.substr(dot + 1));
    if (ext.equalsNoCase("txt")) return Format::Text;
    if (ext.equalsNoCase("xls")) return Format::Xls;
    if (ext.equalsNoCase("xlsx")) return Format::Xlsx;
    if (ext.equalsNoCase("sql")) return Format::Sql;
    return Format::Unknown;
}

String ResultSaver::savedMessage(const ExcelExport::Report& report) {
    String message(kSaved);
    String note;
    if (report.cut > 0) message.append("\n").append(note.format(kCutNote, report.cut));
    if (report.replaced > 0)
        message.append("\n").append(note.format(kReplacedNote, report.replaced));
    return message;
}

String ResultSaver::insertStatements(DataSet& set, const String& insertTable) {
    String text;
    if (auto* table = dynamic_cast<TableDataset*>(&set)) {
        table->toSql(text);
        return text;
    }
    if (insertTable.isEmpty()) throw GeneralException(kNeedTable);
    String head("INSERT INTO ");
    head.append(TableDataset::quoteName(insertTable)).append(" (");
    for (int c = 0; c < set.columnCount(); ++c) {
        if (c > 0) head.append(',');
        head.append(TableDataset::quoteName(set.columnName(c)));
    }
    head.append(") VALUES(");
    for (const VORLIN::DataRow* row : set.rows()) {
        text.append(head);
        for (int c = 0; c < set.columnCount(); ++c) {
            if (c > 0) text.append(',');
            const VORLIN::DataItem* cell = c < row->count() ? row->cell(c) : nullptr;
            text.append(cell ? cell->sqlLiteral() : String("NULL"));
        }
        text.append(");\r\n");
    }
    return text;
}

String ResultSaver::save(DataSet& set, const String& path, const String& insertTable) {
    const Format format = formatOf(path);
    String message;
    switch (format) {
        case Format::Unknown:
            throw GeneralException(message.format(kUnknownFormat, path.c_str()).toStdString());
        case Format::Xls:
            return savedMessage(ExcelExport::exportFile(set, path));
        case Format::Xlsx:
            return savedMessage(XlsxExport::exportFile(set, path));
        case Format::Text:
        case Format::Sql:
            break;
    }
    // Built before the file exists: a refusal leaves nothing behind.
    String statements;
    if (format == Format::Sql) statements = insertStatements(set, insertTable);
    ReplacingFile out;
    if (!out.create(path)) throw GeneralException(kCannotCreate);
    try {
        if (format == Format::Text) {
            set.exportText(&out.stream());
        } else if (out.stream().write(statements) != statements.length()) {
            throw GeneralException(kCannotCreate);
        }
    } catch (const GeneralException&) {
        throw GeneralException(kCannotCreate);
    }
    if (!out.commit()) throw GeneralException(kCannotCreate);
    return String(kSaved);
}

void ResultSaver::writeText(const DataSet& set, std::ostream& out) {
    for (int c = 0; c < set.columnCount(); ++c) {
        if (c > 0) out << '\t';
        out << set.columnName(c).view();
    }
    out << '\n';
    String line;
    for (const VORLIN::DataRow* row : set.rows()) {
        std::string_view text = row->toString(line).view();
        if (text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") text.remove_suffix(2);
        out << text << '\n';
    }
}
