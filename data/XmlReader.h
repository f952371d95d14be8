// XmlReader: the tolerant hand-written parser behind XmlDocument::parse.
//
// It reads from a text held by the caller (or, after convertFromLatin1, a
// UTF-8 copy it owns) with a cursor that only moves forward, so reading a
// text of n bytes takes time and memory in proportion to n. Elements are
// read without recursion; the depth of the tree is bounded by the caller.
//
// A tag runs from "<" to its matching ">" (nested brackets counted, quotes
// not); comments end at "-->", CDATA sections at "]]>", processing
// instructions at "?>". What the reader tolerates: text before the first
// element and after its end tag (ignored), comments, processing
// instructions and declarations such as <!DOCTYPE ...> anywhere (skipped),
// self-closing tags ("<a/>", "<a x=\"1\"/>", a word "/"), attributes
// without a value or with single-quoted or unquoted values, control
// characters in contents (dropped), CDATA (escaped into the content), and
// text between child elements (joined to the content behind a tab; runs of
// spaces between children are indentation and dropped). What it refuses,
// with an error text: an invalid XML declaration, an end tag that does not
// close the open element, input that ends inside a tag or before the end
// tag, and nesting deeper than the bound. It never throws on its own
// (building Strings may, for a text beyond 1 GB); the caller keeps the tree
// as far as it was read.
//
// Not thread-safe; one reader reads one text once. Non-copyable because it
// may view a copy of the text it owns.
#pragma once

#include <string>
#include <string_view>

#include "core/String.h"

namespace VORLIN {

class XmlNode;

class XmlReader {
public:
    // What an XML declaration said; the fields keep their defaults when the
    // declaration does not name them.
    struct Header {
        String version = "1.0";
        String encoding;  // empty when not declared
        bool standalone = true;
    };

    explicit XmlReader(std::string_view text) : in_(text) {}
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;

    // Reads the XML declaration: the first tag must start with "?xml", hold
    // only version (a number), encoding (a name of letters, digits, ".", "_"
    // and "-") and standalone ("yes" or "no") pairs, and end with "?".
    // Returns false (with error()) when it does not.
    bool readHeader(Header& header);
    // From here on the input is read as Latin-1: what is left of it is
    // replaced by its UTF-8 form.
    void convertFromLatin1();
    // Reads one element with everything inside it into `into` (its name,
    // attributes, content and children; what it held before stays and new
    // children are appended). Returns whether the element was complete.
    bool readElement(XmlNode& into, size_t maxDepth);

    const String& error() const noexcept { return error_; }

private:
    // What the next piece of markup is.
    enum class Markup {
        None,          // no "<" left: the input ended
        Unterminated,  // a "<" without its end
        Start,         // a start tag, possibly self-closing
        End,           // an end tag "</...>"
        Ignored,       // a comment, processing instruction or declaration
        CData,         // a CDATA section: body is its text
    };

    // Finds the next markup behind the cursor. `text` is what stands before
    // it, `body` what stands between its brackets; the cursor moves past it.
    Markup next(std::string_view& text, std::string_view& body);
    // Sets the name and the attributes of `node` from a start tag's body;
    // returns whether the tag closes the element itself.
    static bool startElement(XmlNode& node, std::string_view body);
    void fail(const char* message);

    std::string_view in_;
    size_t pos_ = 0;
    std::string converted_;
    String error_;
};

}  // namespace VORLIN
