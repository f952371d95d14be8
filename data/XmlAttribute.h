// XmlAttribute: one name="value" pair of an XML element.
//
// The value is kept in escaped form, as it stands in the document text;
// value() gives it unescaped. The write-when-empty flag decides whether an
// attribute with an empty value is written at all (as name="").
//
// A plain value type: copyable and movable, owned by its XmlNode. Not
// thread-safe. Never throws except when a text exceeds what a String holds.
#pragma once

#include "core/String.h"

namespace VORLIN {

class XmlAttribute {
public:
    // `rawValue` is stored as it is: it must already be escaped.
    XmlAttribute(TextRef name, TextRef rawValue, bool writeWhenEmpty)
        : name_(name), value_(rawValue), writeWhenEmpty_(writeWhenEmpty) {}

    const String& name() const noexcept { return name_; }
    // The stored (escaped) value.
    const String& rawValue() const noexcept { return value_; }
    // The unescaped value.
    String value() const;
    bool writeWhenEmpty() const noexcept { return writeWhenEmpty_; }

    // Stores `value`, escaping it first when `escape` is set.
    void setValue(TextRef value, bool escape = true);
    void setWriteWhenEmpty(bool on) noexcept { writeWhenEmpty_ = on; }

    // Whether the writer puts this attribute into the start tag.
    bool isWritten() const noexcept { return writeWhenEmpty_ || !value_.isEmpty(); }

private:
    String name_;
    String value_;
    bool writeWhenEmpty_;
};

}  // namespace VORLIN
