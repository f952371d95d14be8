// Rect: a rectangle as top-left corner and extent (signed 32-bit each),
// with the text form "(x, y)-[width, height]".
//
// A rectangle is empty when its width or height is 0. fromString throws
// "Rect.fromString: malformed string\r\n" when the "(...)" or "[...]" part
// is missing; nothing else throws.
#pragma once

#include <cstdint>

#include "core/CoreObject.h"
#include "core/Point.h"
#include "core/Size.h"
#include "core/String.h"

namespace VORLIN {

class Rect : public CoreObject {
public:
    Rect() = default;
    Rect(int32_t x, int32_t y, int32_t width, int32_t height)
        : x(x), y(y), width(width), height(height) {}

    String& toString(String& out) const override;
    using CoreObject::toString;
    void fromString(String text) override;
    // The Point comparison of the two top-left corners.
    int compare(const CoreObject& other, int arg1, int arg2) const override;
    using CoreObject::compare;

    void set(int32_t nx, int32_t ny, int32_t w, int32_t h) {
        x = nx;
        y = ny;
        width = w;
        height = h;
    }
    static Rect fromCorners(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void toCorners(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const;
    // The rectangle spanned by two points, whichever order they come in.
    static Rect fromPoints(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
    Size size() const { return Size(width, height); }
    // 1 or 5 top-left, 2 top-right, 3 bottom-right, 4 bottom-left; other: (0, 0).
    Point corner(int which, bool exclusive) const;
    bool isEmpty() const { return width == 0 || height == 0; }
    bool contains(int32_t px, int32_t py) const;
    bool containsRect(const Rect& other) const;
    bool ellipseContains(int32_t px, int32_t py) const;
    void inflate(int32_t dx, int32_t dy);
    void inflate(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void deflate(int32_t dx, int32_t dy);
    void deflate(int32_t left, int32_t top, int32_t right, int32_t bottom);
    void offset(int32_t dx, int32_t dy) {
        x += dx;
        y += dy;
    }
    // The overlap, or the all-zero rectangle when there is none.
    static Rect intersection(const Rect& a, const Rect& b);
    // The smallest rectangle covering both.
    static Rect unionOf(const Rect& a, const Rect& b);
    void unite(const Rect& other) { *this = unionOf(*this, other); }

    bool operator==(const Rect& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }

    int32_t x = 0;
    int32_t y = 0;
    int32_t width = 0;
    int32_t height = 0;
};

}  // namespace VORLIN
