#include "app/designer/QueryDesignFile.h"

#include <cstdio>

#include "app/query/ReplacingFile.h"
#include "core/GeneralException.h"
#include "data/XmlDocument.h"

using VORLIN::GeneralException;
using VORLIN::String;
using VORLIN::XmlDocument;
using VORLIN::XmlNode;

namespace {

XmlDocument document(const QueryDesign& design) {
    XmlDocument doc;
    doc.setRootName("CONSULTA");
    String type;
    type.appendInt(design.type());
    doc.addChild("TIPO", type);
    XmlNode& columns = doc.addChild("COLUMNAS");
    const std::vector<DesignColumn>& titles = design.columns();
    for (int r = 0; r < design.rowCount(); ++r) {
        XmlNode& row = columns.addChild("Columna");
        for (size_t c = 0; c < titles.size(); ++c)
            row.addAttribute(titles[c].title, design.row(r)[c], true, true);
    }
    XmlNode& relations = doc.addChild("RELACIONES");
    for (const TableRelation& rel : design.relations()) {
        XmlNode& e = relations.addChild("Relacion");
        e.addAttribute("Tabla1", rel.tabla1, true, true);
        e.addAttribute("Tabla2", rel.tabla2, true, true);
        e.addAttribute("Campo1", rel.campo1, true, true);
        e.addAttribute("Campo2", rel.campo2, true, true);
        e.addAttribute("Join", rel.join, true, true);
    }
    return doc;
}

QueryDesignFile::Loaded read(XmlDocument& doc) {
    const XmlNode& root = doc.root();
    const XmlNode* tipo = root.name() == "CONSULTA" ? root.findChild("TIPO") : nullptr;
    if (!tipo) throw GeneralException(QueryDesignFile::kNotADesign);
    String text = tipo->content();
    text.trim();
    int type = text == "1" ? 1 : text == "2" ? 2 : text == "4" ? 4 : 0;
    if (!QueryDesign::isValidType(type)) throw GeneralException(QueryDesignFile::kNotADesign);

    QueryDesignFile::Loaded result{QueryDesign(type), {}};
    QueryDesign& design = result.design;
    if (const XmlNode* columns = root.findChild("COLUMNAS")) {
        for (const XmlNode* e = columns->findChild("Columna"); e;
             e = columns->findChild("Columna", e)) {
            int r = design.addEmptyRow();
            for (const DesignColumn& c : design.columns())
                if (e->findAttribute(c.title)) design.setCell(r, c.title, e->attribute(c.title));
        }
    }
    const std::vector<String> tables = design.tables();
    auto known = [&tables](const String& t) {
        for (const String& s : tables)
            if (s == t) return true;
        return false;
    };
    if (const XmlNode* relations = root.findChild("RELACIONES")) {
        for (const XmlNode* e = relations->findChild("Relacion"); e;
             e = relations->findChild("Relacion", e)) {
            TableRelation rel;
            rel.tabla1 = e->attribute("Tabla1");
            rel.tabla2 = e->attribute("Tabla2");
            rel.campo1 = e->attribute("Campo1");
            rel.campo2 = e->attribute("Campo2");
            if (e->findAttribute("Join")) rel.join = e->attribute("Join");
            for (const String* t : {&rel.tabla1, &rel.tabla2}) {
                if (known(*t)) continue;
                String warning;
                warning.format(QueryDesignFile::kUnknownTable, rel.condition().c_str(), t->c_str());
                result.warnings.push_back(warning);
            }
            design.addRelation(rel);
        }
    }
    return result;
}

}  // namespace

String QueryDesignFile::toText(const QueryDesign& design) {
    return document(design).toText();
}

void QueryDesignFile::save(const QueryDesign& design, const String& path) {
    XmlDocument doc = document(design);
    ReplacingFile file;
    if (!file.create(path, false) || !doc.saveFile(String(file.tempPath())) || !file.commit()) {
        file.discard();
        throw GeneralException(String().format(kCannotWrite, path.c_str()).toStdString());
    }
}

QueryDesignFile::Loaded QueryDesignFile::load(const String& path) {
    if (FILE* f = std::fopen(path.c_str(), "rb"))
        std::fclose(f);
    else
        throw GeneralException(String().format(kCannotRead, path.c_str()).toStdString());
    XmlDocument doc;
    if (!doc.loadFile(path, false, false)) throw GeneralException(kNotADesign);
    return read(doc);
}

QueryDesignFile::Loaded QueryDesignFile::parse(const String& text) {
    XmlDocument doc;
    if (!doc.parse(text, false, false)) throw GeneralException(kNotADesign);
    return read(doc);
}
