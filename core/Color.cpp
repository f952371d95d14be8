#include "core/Color.h"

#include <algorithm>
#include <string_view>

namespace VORLIN {

String& Color::toString(String& out) const {
    if (isNone()) return out.assign("null");
    return out.format("(%d,%d,%d)", red(), green(), blue());
}

void Color::fromString(String text) {
    value = kNone;
    std::string_view v = text.view();
    size_t open = v.find('(');
    if (open == std::string_view::npos || v.find(')', open + 1) == std::string_view::npos) return;
    // Exactly three pieces, none of them blank: "(255,,0)" and "(1,2,3,4)" are
    // not colours. Empty tokens are kept so that a missing piece is seen.
    String part = text.extract(uint32_t(open), '(', ')');
    if (std::count(part.view().begin(), part.view().end(), ',') != 2) return;
    int rgb[3];
    for (int i = 0; i < 3; ++i) {
        String piece = part.token(",", i == 0, true);
        if (String(piece).trim().isEmpty()) return;
        rgb[i] = piece.toInt() & 255;
    }
    value = uint32_t(rgb[0]) + 256u * uint32_t(rgb[1]) + 65536u * uint32_t(rgb[2]);
}

int Color::compare(const CoreObject& other, int, int) const {
    const auto* o = dynamic_cast<const Color*>(&other);
    if (!o) return 1;
    // The difference taken in 64 bits: no colour (0xFFFFFFFF) sorts after
    // every real colour instead of wrapping round to a negative number.
    int64_t d = int64_t(value) - int64_t(o->value);
    return d < 0 ? -1 : (d > 0 ? 1 : 0);
}

void Color::lighten(int n) {
    auto up = [n](int c) { return int(std::clamp<int64_t>(int64_t(c) + n, 0, 255)); };
    *this = fromRgb(up(red()), up(green()), up(blue()));
}

int Color::luminance() const {
    // Integer weights keep the floor exact: white gives 255, not 254.
    return (299 * red() + 587 * green() + 114 * blue()) / 1000;
}

void Color::swapRedBlue(uint32_t v) {
    value = (v & 0xFF00FF00u) | ((v & 0xFFu) << 16) | ((v >> 16) & 0xFFu);
}

}  // namespace VORLIN
