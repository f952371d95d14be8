// XmlNode: one element of an XML tree: a name, a text content, attributes
// and child elements, and its writer.
//
// The content and the attribute values are kept in escaped form, as they
// stand in the document text; content() and attribute() give them
// unescaped. An element is written without indentation and with CRLF line
// ends: a leaf as "<name attrs>content</name>" (never self-closing), an
// element with children as its start tag, each child on its own line, and
// its end tag; its content is then not written. An element named "/" or
// with an empty name writes no tags of its own, only its children.
//
// Ownership: a node owns its children (std::unique_ptr) and its attributes
// (values). parent() is a non-owning back link to the node that owns this
// one, null for a root. Because children point back at their parent, nodes
// cannot be copied or moved; they are created by addChild or as a root.
// Not thread-safe. Never throws except when a text exceeds what a String
// holds.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/String.h"
#include "data/XmlAttribute.h"

namespace VORLIN {

class XmlNode {
public:
    explicit XmlNode(TextRef name = "") : name_(name) {}
    XmlNode(const XmlNode&) = delete;
    XmlNode& operator=(const XmlNode&) = delete;

    // The node that owns this one; null for a root. Not owning.
    XmlNode* parent() const noexcept { return parent_; }

    const String& name() const noexcept { return name_; }
    void setName(TextRef name) { name_ = name; }

    // The unescaped content.
    String content() const;
    // The stored (escaped) content.
    const String& rawContent() const noexcept { return content_; }
    // Stores `content`, escaping it first when `escape` is set.
    void setContent(TextRef content, bool escape = true);

    // A new element with that name and content (escaped when `escape`),
    // appended to the children. The reference stays valid while this node
    // keeps the child.
    XmlNode& addChild(TextRef name, TextRef content = "", bool escape = true);
    const std::vector<std::unique_ptr<XmlNode>>& children() const noexcept { return children_; }
    size_t childCount() const noexcept { return children_.size(); }

    // Appends an attribute, its value escaped when `escape`. Names are not
    // checked for duplicates: attribute() finds the first.
    void addAttribute(TextRef name, TextRef value, bool escape = true, bool writeWhenEmpty = false);
    const std::vector<XmlAttribute>& attributes() const noexcept { return attributes_; }
    // The first attribute with that name (case-sensitive), null when none.
    const XmlAttribute* findAttribute(TextRef name) const noexcept;
    XmlAttribute* findAttribute(TextRef name) noexcept;
    // The unescaped value of the first attribute with that name, "" when
    // there is none.
    String attribute(TextRef name) const;

    // The first element whose name equals `name` (an empty `name` matches
    // any). Without `recursive` the direct children are searched; with it,
    // each child's subtree is searched before going on to the next child
    // (document order). With `after`, the search starts behind that element
    // in the same order, so that repeated calls walk every match; an `after`
    // that is not among the searched elements finds nothing. Null when none.
    XmlNode* findChild(TextRef name, const XmlNode* after = nullptr, bool recursive = false);
    const XmlNode* findChild(TextRef name, const XmlNode* after = nullptr,
                             bool recursive = false) const;

    // Destroys the children and the attributes; the name and the content
    // stay.
    void clear() noexcept;

    // The element's text (see above) in `out`, replacing what it held.
    String& toText(String& out) const;
    String toText() const;
    // Appends the element's text to `out`. Long documents are built here:
    // a String grows exactly to each new length, a std::string does not.
    void appendText(std::string& out) const;

private:
    friend class XmlReader;

    XmlNode* parent_ = nullptr;
    std::vector<std::unique_ptr<XmlNode>> children_;
    String name_;
    String content_;
    std::vector<XmlAttribute> attributes_;
};

}  // namespace VORLIN
