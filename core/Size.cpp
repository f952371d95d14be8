#include "core/Size.h"

#include <utility>

#include "core/Point.h"

namespace VORLIN {

String& Size::toString(String& out) const {
    return out.format("(%d, %d)", width, height);
}

void Size::fromString(String text) {
    Point p = Point::parsePair(std::move(text), "Size");
    width = p.x;
    height = p.y;
}

int Size::compare(const CoreObject& other, int, int) const {
    const auto* o = dynamic_cast<const Size*>(&other);
    if (!o) return 1;
    // The same row order as Point: height first, then width.
    return Point(width, height).compare(Point(o->width, o->height));
}

}  // namespace VORLIN
