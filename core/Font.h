// Font: a font description with the text form "face|height|style|escapement"
// (style bits: 1 bold, 2 italic, 4 underline). Parsing never throws: missing
// pieces read as empty or 0.
#pragma once

#include <cstdint>
#include <utility>

#include "core/CoreObject.h"
#include "core/String.h"

namespace VORLIN {

class Font : public CoreObject {
public:
    enum Style { Bold = 1, Italic = 2, Underline = 4 };

    Font() = default;
    Font(String face, int height, int style = 0, int escapement = 0)
        : face(std::move(face)), height(height), style(style), escapement(escapement) {}

    String& toString(String& out) const override;
    using CoreObject::toString;
    void fromString(String text) override;
    // Face name (case-insensitive), then height, style and escapement.
    int compare(const CoreObject& other, int arg1, int arg2) const override;
    using CoreObject::compare;

    bool operator==(const Font& o) const {
        return face == o.face && height == o.height && style == o.style &&
               escapement == o.escapement;
    }

    String face;
    int height = 0;
    int style = 0;
    int escapement = 0;
};

}  // namespace VORLIN
