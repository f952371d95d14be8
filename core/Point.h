// Point and Size: two signed 32-bit integers with the text form "(x, y)".
//
// fromString accepts "(x, y)" or "x,y"; any other unparenthesised text
// throws "Point.fromString: malformed string" (Size: "Size.fromString: ...").
// Comparison is in row order: the second coordinate first.
#pragma once

#include <cstdint>

#include "core/CoreObject.h"
#include "core/String.h"

namespace VORLIN {

class Size;

class Point : public CoreObject {
public:
    Point() = default;
    Point(int32_t x, int32_t y) : x(x), y(y) {}

    String& toString(String& out) const override;
    using CoreObject::toString;
    void fromString(String text) override;
    int compare(const CoreObject& other, int arg1, int arg2) const override;
    using CoreObject::compare;

    void set(int32_t nx, int32_t ny) {
        x = nx;
        y = ny;
    }
    bool differs(int32_t ox, int32_t oy) const { return x != ox || y != oy; }
    Size minus(int32_t ox, int32_t oy) const;
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }

    // Text helpers shared by Point, Size and Rect.
    //
    // readPart: finds the part between `open` and its `close` and reads two
    // integers from it, split on any byte of `delims` (empty pieces skipped,
    // missing pieces read 0). False, with a and b untouched, when `text` has
    // no such part.
    static bool readPart(String& text, char open, char close, TextRef delims, int32_t& a,
                         int32_t& b);
    // parsePair: the "(a, b)" or "a,b" form of Point and Size; the empty text
    // gives (0, 0). Throws "<owner>.fromString: malformed string" when an
    // unparenthesised text does not split on "," into exactly two pieces.
    static Point parsePair(String text, const char* owner);

    int32_t x = 0;
    int32_t y = 0;
};

}  // namespace VORLIN
