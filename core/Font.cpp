#include "core/Font.h"

namespace VORLIN {

namespace {

int sign(int a, int b) {
    return a < b ? -1 : (a > b ? 1 : 0);
}

}  // namespace

String& Font::toString(String& out) const {
    return out.format("%s|%d|%d|%d", face.c_str(), height, style, escapement);
}

void Font::fromString(String text) {
    // Empty tokens are kept so that "|12|0|0" reads an empty face rather than
    // shifting the height into its place.
    face = text.token("|", true, true);
    height = text.token("|", false, true).toInt();
    style = text.token("|", false, true).toInt();
    escapement = text.token("|", false, true).toInt();
}

int Font::compare(const CoreObject& other, int, int) const {
    const auto* o = dynamic_cast<const Font*>(&other);
    if (!o) return 1;
    String mine(face), theirs(o->face);
    if (int c = mine.makeLower().compare(theirs.makeLower())) return c;
    if (int c = sign(height, o->height)) return c;
    if (int c = sign(style, o->style)) return c;
    return sign(escapement, o->escapement);
}

}  // namespace VORLIN
