// Size: width and height (signed 32-bit) with the text form "(w, h)".
// Parsing and comparison follow Point; a malformed text throws
// "Size.fromString: malformed string".
#pragma once

#include <cstdint>

#include "core/CoreObject.h"
#include "core/String.h"

namespace VORLIN {

class Size : public CoreObject {
public:
    Size() = default;
    Size(int32_t width, int32_t height) : width(width), height(height) {}

    String& toString(String& out) const override;
    using CoreObject::toString;
    void fromString(String text) override;
    int compare(const CoreObject& other, int arg1, int arg2) const override;
    using CoreObject::compare;

    bool operator==(const Size& o) const { return width == o.width && height == o.height; }

    int32_t width = 0;
    int32_t height = 0;
};

}  // namespace VORLIN
