// Color: an RGB value in COLORREF order (red in the low byte, then green,
// then blue) or no colour (0xFFFFFFFF, the default).
//
// Text form "(r,g,b)" or "null". Parsing never throws: anything that is not
// a parenthesised triple gives no colour.
#pragma once

#include <cstdint>

#include "core/CoreObject.h"
#include "core/String.h"

namespace VORLIN {

class Color : public CoreObject {
public:
    static constexpr uint32_t kNone = 0xFFFFFFFFu;

    Color() = default;
    explicit Color(uint32_t value) : value(value) {}
    static Color fromRgb(int red, int green, int blue) {
        return Color(uint32_t(red & 255) | uint32_t(green & 255) << 8 | uint32_t(blue & 255) << 16);
    }

    String& toString(String& out) const override;
    using CoreObject::toString;
    void fromString(String text) override;
    // The difference of the two 32-bit values (its sign).
    int compare(const CoreObject& other, int arg1, int arg2) const override;
    using CoreObject::compare;

    void set(uint32_t v) { value = v; }
    bool equals(uint32_t v) const { return value == v; }
    bool differs(uint32_t v) const { return value != v; }
    bool isNone() const { return value == kNone; }
    uint32_t rgb() const { return isNone() ? 0 : (value & 0x00FFFFFFu); }
    int red() const { return int(rgb() & 255); }
    int green() const { return int((rgb() >> 8) & 255); }
    int blue() const { return int((rgb() >> 16) & 255); }
    // Adds n to each component, clamped at 255 (no colour counts as black).
    void lighten(int n);
    int luminance() const;
    // Stores v with its low and third bytes exchanged (0x00RRGGBB <-> 0x00BBGGRR).
    void swapRedBlue(uint32_t v);

    bool operator==(const Color& o) const { return value == o.value; }

    uint32_t value = kNone;
};

}  // namespace VORLIN
