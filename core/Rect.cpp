#include "core/Rect.h"

#include <algorithm>

#include "core/GeneralException.h"

namespace VORLIN {

namespace {

// Edge arithmetic runs in 64 bits so that x + width never overflows; results
// are narrowed back to 32 bits only when stored.

struct Box {
    int64_t left, top, right, bottom;  // half-open: [left, right) x [top, bottom)
};

Box plainBox(const Rect& r) {
    return {r.x, r.y, int64_t(r.x) + r.width, int64_t(r.y) + r.height};
}

// A rectangle with both extents negative is anchored at its bottom-right
// corner and covers (x + width, x] x (y + height, y]. Negating every
// coordinate turns it into an ordinary half-open box, so the ordinary edge
// arithmetic applies; fromMirrored turns the answer back.
Box mirroredBox(const Rect& r) {
    return {-int64_t(r.x), -int64_t(r.y), -(int64_t(r.x) + r.width), -(int64_t(r.y) + r.height)};
}

Rect fromBox(const Box& b) {
    return Rect(int32_t(b.left), int32_t(b.top), int32_t(b.right - b.left),
                int32_t(b.bottom - b.top));
}

Rect fromMirrored(const Box& b) {
    return Rect(int32_t(-b.left), int32_t(-b.top), int32_t(b.left - b.right),
                int32_t(b.top - b.bottom));
}

bool mirrored(const Rect& r) {
    return r.width < 0 && r.height < 0;
}

bool overlap(const Box& a, const Box& b, Box& out) {
    out = {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
           std::min(a.bottom, b.bottom)};
    return out.left < out.right && out.top < out.bottom;
}

Box cover(const Box& a, const Box& b) {
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// The rows a rectangle covers, half-open. A negative height counts upwards
// from y: the rows (y + height, y]. Columns are never mirrored, so a negative
// width covers no column at all.
void rowSpan(const Rect& r, int64_t& lo, int64_t& hi) {
    if (r.height >= 0) {
        lo = r.y;
        hi = int64_t(r.y) + r.height;
    } else {
        lo = int64_t(r.y) + r.height + 1;
        hi = int64_t(r.y) + 1;
    }
}

}  // namespace

String& Rect::toString(String& out) const {
    return out.format("(%d, %d)-[%d, %d]", x, y, width, height);
}

void Rect::fromString(String text) {
    if (text.isEmpty()) {
        *this = Rect();
        return;
    }
    Rect r;
    if (!Point::readPart(text, '(', ')', ",", r.x, r.y) ||
        !Point::readPart(text, '[', ']', ",", r.width, r.height))
        throw GeneralException("Rect.fromString: malformed string\r\n");
    *this = r;
}

int Rect::compare(const CoreObject& other, int, int) const {
    const auto* o = dynamic_cast<const Rect*>(&other);
    if (!o) return 1;
    return Point(x, y).compare(Point(o->x, o->y));
}

Rect Rect::fromCorners(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    return fromBox({left, top, right, bottom});
}

void Rect::toCorners(int32_t& left, int32_t& top, int32_t& right, int32_t& bottom) const {
    left = x;
    top = y;
    right = int32_t(int64_t(x) + width);
    bottom = int32_t(int64_t(y) + height);
}

Rect Rect::fromPoints(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    return fromBox({std::min(x1, x2), std::min(y1, y2), std::max(x1, x2), std::max(y1, y2)});
}

Point Rect::corner(int which, bool exclusive) const {
    int64_t e = exclusive ? 1 : 0;
    int32_t right = int32_t(int64_t(x) + width - e);
    int32_t bottom = int32_t(int64_t(y) + height - e);
    switch (which) {
        case 1:
        case 5:
            return Point(x, y);
        case 2:
            return Point(right, y);
        case 3:
            return Point(right, bottom);
        case 4:
            return Point(x, bottom);
        default:
            return Point();
    }
}

bool Rect::contains(int32_t px, int32_t py) const {
    if (isEmpty()) return false;
    int64_t top, bottom;
    rowSpan(*this, top, bottom);
    return px >= x && px < int64_t(x) + width && py >= top && py < bottom;
}

bool Rect::containsRect(const Rect& other) const {
    if (isEmpty() || other.isEmpty() || width < 0 || other.width < 0) return false;
    int64_t top, bottom, otherTop, otherBottom;
    rowSpan(*this, top, bottom);
    rowSpan(other, otherTop, otherBottom);
    return other.x >= x && int64_t(other.x) + other.width <= int64_t(x) + width &&
           otherTop >= top && otherBottom <= bottom;
}

bool Rect::ellipseContains(int32_t px, int32_t py) const {
    // Half-axes and centre in whole units, as the drawing code lays them out.
    int64_t a = width / 2, b = height / 2;
    if (a == 0 || b == 0) return false;
    int64_t dx = px - (int64_t(x) + a), dy = py - (int64_t(y) + b);
    if (a < 0) a = -a;
    if (b < 0) b = -b;
    if (dx < -a || dx > a || dy < -b || dy > b) return false;
    // dx²/a² + dy²/b² <= 1 without division; after the bounds check above
    // every product stays below 2^124.
    using Wide = __int128;
    Wide a2 = Wide(a) * a, b2 = Wide(b) * b;
    return Wide(dx) * dx * b2 + Wide(dy) * dy * a2 <= a2 * b2;
}

void Rect::inflate(int32_t dx, int32_t dy) {
    inflate(dx, dy, dx, dy);
}

void Rect::inflate(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    x = int32_t(int64_t(x) - left);
    y = int32_t(int64_t(y) - top);
    width = int32_t(int64_t(width) + left + right);
    height = int32_t(int64_t(height) + top + bottom);
}

void Rect::deflate(int32_t dx, int32_t dy) {
    deflate(dx, dy, dx, dy);
}

void Rect::deflate(int32_t left, int32_t top, int32_t right, int32_t bottom) {
    x = int32_t(int64_t(x) + left);
    y = int32_t(int64_t(y) + top);
    width = int32_t(int64_t(width) - left - right);
    height = int32_t(int64_t(height) - top - bottom);
}

Rect Rect::intersection(const Rect& a, const Rect& b) {
    Box out;
    if (mirrored(a) && mirrored(b))
        return overlap(mirroredBox(a), mirroredBox(b), out) ? fromMirrored(out) : Rect();
    // Any other rectangle with a negative extent covers nothing here, so it
    // overlaps nothing.
    return overlap(plainBox(a), plainBox(b), out) ? fromBox(out) : Rect();
}

Rect Rect::unionOf(const Rect& a, const Rect& b) {
    if (mirrored(a) && mirrored(b)) return fromMirrored(cover(mirroredBox(a), mirroredBox(b)));
    // An empty rectangle covers nothing, so it does not stretch the union.
    if (a.isEmpty()) return b;
    if (b.isEmpty()) return a;
    return fromBox(cover(plainBox(a), plainBox(b)));
}

}  // namespace VORLIN
