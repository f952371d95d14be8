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
    String toString() const {
        String s;
        return toString(s);
    }
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

    int32_t x = 0;
    int32_t y = 0;
};

}  // namespace VORLIN
