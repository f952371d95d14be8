#include "data/XmlAttribute.h"

#include "data/XmlText.h"

namespace VORLIN {

String XmlAttribute::value() const {
    return xmlUnescape(value_);
}

void XmlAttribute::setValue(TextRef value, bool escape) {
    if (escape)
        value_ = xmlEscape(value);
    else
        value_ = value;
}

}  // namespace VORLIN
