// XmlText: the text helpers of the XML model: escaping of the five special
// characters and the encodings a document may declare.
//
// Texts inside the program are UTF-8. A document declares how its bytes are
// encoded; the model reads and writes UTF-8 as it is and converts Latin-1
// (ISO-8859-1, used by older files) on the way in and out. Any other label is
// kept in the declaration but its bytes are passed through unchanged.
//
// Free functions without state; they never throw except when a result would
// exceed what a String holds.
#pragma once

#include <string>

#include "core/String.h"

namespace VORLIN {

// Replaces "&" by "&amp;", "'" by "&apos;", "\"" by "&quot;", ">" by "&gt;"
// and "<" by "&lt;".
String xmlEscape(TextRef text);
// Replaces each of the five entity references by its character in one pass:
// a replaced character is never read again, so "&amp;lt;" becomes "&lt;".
// Any other "&" stays as it is.
String xmlUnescape(TextRef text);

// The byte encodings the XML model tells apart.
enum class XmlEncoding {
    Utf8,    // "UTF-8" and its aliases: bytes are read and written as they are
    Latin1,  // "ISO-8859-1" and its aliases: converted from and to UTF-8
    Other,   // any other label: bytes pass through unchanged
};

// Classifies an encoding label (case-insensitive).
XmlEncoding xmlEncodingOf(TextRef label);

// Every byte of 128 or more becomes its two-byte UTF-8 sequence; the result
// is at most twice as long as the input.
std::string latin1ToUtf8(std::string_view text);
// Every UTF-8 sequence of a code point up to U+00FF becomes that one byte;
// other code points and bytes that do not form a valid sequence become "?".
std::string utf8ToLatin1(std::string_view text);

}  // namespace VORLIN
