// CoreObject: the common root of the value classes (DataItem, Currency,
// DateTime, DateDay, Point, Size, Rect, Color, Font).
//
// Each value converts to text, parses itself from text and compares with
// another value of its kind. Conversions never throw unless the class says
// so (the geometry parsers reject malformed text). Not thread-safe: a value
// may be read from several threads only while nobody writes it.
#pragma once

namespace VORLIN {

class String;

class CoreObject {
public:
    virtual ~CoreObject() = default;

    // Writes the text form into `out` and returns it.
    virtual String& toString(String& out) const = 0;
    // The text form as a new String (classes bring it in with a using
    // declaration next to their override).
    String toString() const;
    // Sets the value from text.
    virtual void fromString(String text) = 0;
    // Negative, zero or positive; arg1 and arg2 are reserved for subclasses.
    virtual int compare(const CoreObject& other, int arg1, int arg2) const = 0;
    int compare(const CoreObject& other) const { return compare(other, 0, 0); }
};

}  // namespace VORLIN
