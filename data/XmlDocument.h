// XmlDocument: an XML document: its declaration (version, encoding,
// standalone) and one tree of elements under a root XmlNode, with the
// writer and the tolerant reader.
//
// Texts inside the program are UTF-8. The declared encoding belongs to each
// document and decides how its bytes are read and written: UTF-8 (the
// default) as they are; ISO-8859-1 (older files) converted from Latin-1 to
// UTF-8 when read and back to Latin-1 when written (characters Latin-1
// cannot hold are written as "?"); any other label unchanged. parse() with a
// header takes the encoding the header declares (UTF-8 when it names none);
// without a header the document's own encoding applies.
//
// Reading never throws: loadFile() and parse() return false on a missing
// file, an invalid header, an element left open, an unexpected end tag or
// nesting deeper than kMaxDepth levels, keep the tree as far as it was read
// and leave the reason in lastError(). The tolerant rules are those of
// XmlReader. A text of n bytes is read in time and memory proportional to n.
//
// Ownership: the document owns its root (std::unique_ptr), which owns the
// tree. Movable, not copyable; a moved-from document may only be assigned
// to or destroyed. Not thread-safe; separate documents may be
// used on separate threads (there is no process-wide state).
#pragma once

#include <cstddef>
#include <memory>

#include "core/String.h"
#include "data/XmlNode.h"
#include "data/XmlText.h"

namespace VORLIN {

class XmlDocument {
public:
    // The deepest element tree the reader accepts (the root element is
    // level 1; the "/" root of a wrapped read does not count).
    static constexpr size_t kMaxDepth = 256;

    // version="1.0", standalone; an empty `encoding` declares UTF-8.
    explicit XmlDocument(TextRef encoding = "");
    XmlDocument(XmlDocument&&) noexcept = default;
    XmlDocument& operator=(XmlDocument&&) noexcept = default;
    XmlDocument(const XmlDocument&) = delete;
    XmlDocument& operator=(const XmlDocument&) = delete;

    // The declaration's pairs as written: version="1.0", encoding="UTF-8".
    const String& versionText() const noexcept { return version_; }
    const String& encodingText() const noexcept { return encodingText_; }
    // The encoding label alone ("UTF-8") and what it means for the bytes.
    const String& encoding() const noexcept { return encoding_; }
    XmlEncoding encodingKind() const noexcept { return kind_; }
    bool isUtf8() const noexcept { return kind_ == XmlEncoding::Utf8; }
    bool standalone() const noexcept { return standalone_; }
    // Declares another encoding; an empty one declares UTF-8. The tree is
    // not touched: its texts stay UTF-8 and the writer converts.
    void setEncoding(TextRef encoding);

    XmlNode& root() noexcept { return *root_; }
    const XmlNode& root() const noexcept { return *root_; }
    void setRootName(TextRef name) { root_->setName(name); }
    // Adds an element under the root (see XmlNode::addChild).
    XmlNode& addChild(TextRef name, TextRef content = "", bool escape = true) {
        return root_->addChild(name, content, escape);
    }

    // "<?xml version ... encoding ... ?>" and CRLF, then the root element's
    // text, in the declared encoding; replaces what `out` held.
    String& toText(String& out) const;
    String toText() const;
    // Writes toText() into the file `path` (created or truncated); returns
    // whether every byte reached the system.
    bool saveFile(TextRef path) const;

    // Reads the whole file (opened "rb") and parses it; false when it cannot
    // be opened or parse fails.
    bool loadFile(TextRef path, bool wrapRoot = false, bool checkHeader = true);
    // Replaces the tree by the one read from `text`. With `wrapRoot` the
    // root is named "/" (it writes no tags of its own) and the element read
    // becomes its one unnamed-at-first child; otherwise the root itself is
    // filled. With `checkHeader` the text must open with a valid XML
    // declaration, which sets the version, encoding and standalone flag;
    // without it a declaration is skipped unread.
    bool parse(TextRef text, bool wrapRoot = false, bool checkHeader = true);
    // Why the last loadFile or parse failed; empty after a success.
    const String& lastError() const noexcept { return error_; }

private:
    String version_;
    String encoding_;
    String encodingText_;
    XmlEncoding kind_ = XmlEncoding::Utf8;
    bool standalone_ = true;
    std::unique_ptr<XmlNode> root_;
    String error_;
};

}  // namespace VORLIN
