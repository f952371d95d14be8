#include "core/Point.h"

#include <string_view>
#include <utility>

#include "core/GeneralException.h"
#include "core/Size.h"

namespace VORLIN {

String& Point::toString(String& out) const {
    return out.format("(%d, %d)", x, y);
}

void Point::fromString(String text) {
    *this = parsePair(std::move(text), "Point");
}

int Point::compare(const CoreObject& other, int, int) const {
    const auto* o = dynamic_cast<const Point*>(&other);
    if (!o) return 1;
    if (x == o->x && y == o->y) return 0;
    // Row order: the row (y) decides, the column only within one row.
    if (y != o->y) return y < o->y ? -1 : 1;
    return x < o->x ? -1 : 1;
}

Size Point::minus(int32_t ox, int32_t oy) const {
    return Size(x - ox, y - oy);
}

bool Point::readPart(String& text, char open, char close, TextRef delims, int32_t& a, int32_t& b) {
    // The part counts as present when an `open` has a `close` somewhere after
    // it; extract then settles the nesting ("()" is present and reads 0, 0).
    std::string_view v = text.view();
    size_t at = v.find(open);
    if (at == std::string_view::npos || v.find(close, at + 1) == std::string_view::npos)
        return false;
    String part = text.extract(uint32_t(at), open, close);
    a = part.token(delims, true).toInt();
    b = part.token(delims).toInt();
    return true;
}

Point Point::parsePair(String text, const char* owner) {
    Point p;
    if (text.isEmpty()) return p;
    if (readPart(text, '(', ')', ", ", p.x, p.y)) return p;
    // A bare "a,b": tokenCount skips empty pieces, so "3,,4" still counts two.
    if (text.tokenCount(",") != 2)
        throw GeneralException::format("%s.fromString: malformed string", owner);
    p.x = text.token(",", true).toInt();
    p.y = text.token(",").toInt();
    return p;
}

}  // namespace VORLIN
