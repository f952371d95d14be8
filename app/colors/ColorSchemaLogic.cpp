#include "app/colors/ColorSchemaLogic.h"

#include <cctype>
#include <cstdio>
#include <string>

#include <unistd.h>

#include "core/GeneralException.h"
#include "data/XmlDocument.h"
#include "data/XmlNode.h"

namespace VORLIN {

const char* const ColorSchemaLogic::kSolidLabels[kSolid] = {
    "Titulos de ventanas: ",
    "Texto de los controles: ",
    "Texto seleccionado: ",
    "Fondo de texto seleccionado: ",
    "Texto deshabilitado: ",
    "Control normal: ",
    "Control seleccionado: ",
    "Control deshabilitado: ",
    "Texto en menú: ",
    "Texto seleccionado en menú: ",
    "Texto deshabilitado en menú: ",
    "Fondo menú: ",
    "Fondo menú seleccionado: ",
    "Barra de menú: ",
    "Texto en botón: ",
    "Texto en botón seleccionado: ",
    "Texto en botón deshabilitado: ",
    "Fondo de diálogos: ",
    "Fondo de aplicación: ",
    "Fondo de tooltip: ",
};

const char* const ColorSchemaLogic::kGradientLabels[kGradient] = {
    "Primario 1: ", "Primario 2: ", "Secundario 1: ", "Secundario 2: ", "Diálogos: ",
    "Controles: ",  "Deshabilitados: ", "Foco: ",     "Barras 1: ",     "Barras 2: ",
};

namespace {

// A non-negative decimal number, all of the text.
bool readIndex(const String& text, int& out) {
    const std::string t = text.toStdString();
    if (t.empty() || t.size() > 6) return false;
    for (char c : t)
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    out = std::stoi(t);
    return true;
}

// "(r,g,b)" with three numbers of 0..255, spaces allowed.
bool readColor(const String& text, Color& out) {
    int r = -1, g = -1, b = -1;
    char close = 0;
    if (std::sscanf(text.c_str(), " ( %d , %d , %d %c", &r, &g, &b, &close) != 4 || close != ')')
        return false;
    if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255) return false;
    out = Color::fromRgb(r, g, b);
    return true;
}

}  // namespace

ColorSchemaLogic::ColorSchemaLogic(const DataRow& solid, const DataRow& gradient) {
    setLists(solid, gradient);
}

void ColorSchemaLogic::setLists(const DataRow& solid, const DataRow& gradient) {
    solid_.setCount(kSolid);
    gradient_.setCount(kGradient);
    for (int i = 0; i < kSolid && i < solid.count(); ++i)
        solid_.cell(i)->setColor(solid.cell(i)->toColor());
    for (int i = 0; i < kGradient && i < gradient.count(); ++i)
        gradient_.cell(i)->setColor(gradient.cell(i)->toColor());
}

Color ColorSchemaLogic::color(bool gradientList, int index) const {
    const DataRow& list = gradientList ? gradient_ : solid_;
    const DataItem* cell = list.cell(index);
    return cell ? cell->toColor() : Color();
}

void ColorSchemaLogic::setColor(bool gradientList, int index, Color color) {
    DataRow& list = gradientList ? gradient_ : solid_;
    if (DataItem* cell = list.cell(index)) cell->setColor(color);
}

void ColorSchemaLogic::exportFile(const String& path) const {
    XmlDocument doc;
    doc.setRootName("COLORSCHEMA");
    for (int which = 0; which < 2; ++which) {
        const DataRow& list = which == 0 ? solid_ : gradient_;
        XmlNode& group = doc.addChild(which == 0 ? "FIXED" : "GRADIENT");
        for (int i = 0; i < list.count(); ++i) {
            XmlNode& e = group.addChild("Element");
            String id;
            id.format("%d", i);
            String text;
            list.cell(i)->toColor().toString(text);
            e.addAttribute("Id", id);
            e.addAttribute("Color", text);
        }
    }
    const std::string temp = path.toStdString() + ".tmp-csh";
    if (!doc.saveFile(String(temp)) || ::rename(temp.c_str(), path.c_str()) != 0) {
        ::unlink(temp.c_str());
        String text;
        text.format(kCannotWrite, path.c_str());
        throw GeneralException(text.toStdString());
    }
}

ColorSchemaLogic::ImportResult ColorSchemaLogic::importFile(const String& path) {
    ImportResult result;
    XmlDocument doc;
    if (!doc.loadFile(path) || doc.root().name() != "COLORSCHEMA") {
        result.error.format(kNothingImported, path.c_str());
        return result;
    }
    DataRow solid = solid_;
    DataRow gradient = gradient_;
    for (int which = 0; which < 2; ++which) {
        const XmlNode* group = doc.root().findChild(which == 0 ? "FIXED" : "GRADIENT");
        if (!group) continue;
        DataRow& list = which == 0 ? solid : gradient;
        const XmlNode* e = nullptr;
        while ((e = group->findChild("Element", e)) != nullptr) {
            const String idText = e->attribute("Id");
            const String colorText = e->attribute("Color");
            int id = -1;
            if (!readIndex(idText, id) || id >= list.count()) {
                String line;
                line.format(kBadId, idText.c_str());
                result.skipped.push_back(line);
                continue;
            }
            Color c;
            if (!readColor(colorText, c)) {
                String line;
                line.format(kBadColor, idText.c_str(), colorText.c_str());
                result.skipped.push_back(line);
                continue;
            }
            list.cell(id)->setColor(c);
            ++result.applied;
        }
    }
    if (result.applied == 0) {
        result.error.format(kNothingImported, path.c_str());
        return result;
    }
    solid_ = solid;
    gradient_ = gradient;
    return result;
}

}  // namespace VORLIN
