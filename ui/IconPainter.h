// IconPainter: draws the program's own pictures, one per image name the
// application uses (the database kinds, tables, fields, the commands, the
// message icons). Drawn with QPainter at 16, 24, 32 and 48 pixels, so the
// program needs no image files and every picture is crisp at any size.
//
// Stateless. Threads: the UI thread only (QPixmap). Never throws; an
// unknown name gives a null icon.
#pragma once

#include <string>

#include <QIcon>

namespace VORLIN {

class IconPainter {
public:
    static QIcon paint(const std::string& name);
    // Every name paint() knows, for the tests and the about box.
    static const char* const kNames[];
    static const int kNameCount;
};

}  // namespace VORLIN
