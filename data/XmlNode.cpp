#include "data/XmlNode.h"

#include <utility>

#include "data/XmlText.h"

namespace VORLIN {

namespace {

// Pre-order search below `node`. `passed` tells whether `after` has been
// met already (always true without an `after`); matches before it are
// skipped.
const XmlNode* search(const XmlNode& node, std::string_view name, const XmlNode* after,
                      bool recursive, bool& passed) {
    for (const auto& child : node.children()) {
        if (passed && (name.empty() || child->name().view() == name)) return child.get();
        if (child.get() == after) passed = true;
        if (recursive) {
            if (const XmlNode* found = search(*child, name, after, recursive, passed)) return found;
        }
    }
    return nullptr;
}

}  // namespace

String XmlNode::content() const {
    return xmlUnescape(content_);
}

void XmlNode::setContent(TextRef content, bool escape) {
    if (escape)
        content_ = xmlEscape(content);
    else
        content_ = content;
}

XmlNode& XmlNode::addChild(TextRef name, TextRef content, bool escape) {
    auto child = std::make_unique<XmlNode>(name);
    child->parent_ = this;
    child->setContent(content, escape);
    children_.push_back(std::move(child));
    return *children_.back();
}

void XmlNode::addAttribute(TextRef name, TextRef value, bool escape, bool writeWhenEmpty) {
    if (escape)
        attributes_.emplace_back(name, xmlEscape(value), writeWhenEmpty);
    else
        attributes_.emplace_back(name, value, writeWhenEmpty);
}

const XmlAttribute* XmlNode::findAttribute(TextRef name) const noexcept {
    for (const XmlAttribute& a : attributes_) {
        if (a.name().view() == name.view()) return &a;
    }
    return nullptr;
}

XmlAttribute* XmlNode::findAttribute(TextRef name) noexcept {
    return const_cast<XmlAttribute*>(std::as_const(*this).findAttribute(name));
}

String XmlNode::attribute(TextRef name) const {
    const XmlAttribute* a = findAttribute(name);
    return a ? a->value() : String();
}

const XmlNode* XmlNode::findChild(TextRef name, const XmlNode* after, bool recursive) const {
    bool passed = after == nullptr;
    return search(*this, name.view(), after, recursive, passed);
}

XmlNode* XmlNode::findChild(TextRef name, const XmlNode* after, bool recursive) {
    return const_cast<XmlNode*>(std::as_const(*this).findChild(name, after, recursive));
}

void XmlNode::clear() noexcept {
    children_.clear();
    attributes_.clear();
}

String& XmlNode::toText(String& out) const {
    std::string text;
    appendText(text);
    out = TextRef(text);
    return out;
}

String XmlNode::toText() const {
    String out;
    return toText(out);
}

void XmlNode::appendText(std::string& out) const {
    // Attribute text: " a=\"1\" b=\"2\"", or nothing when no attribute is
    // written (not even the leading space).
    std::string attrs;
    for (const XmlAttribute& a : attributes_) {
        if (!a.isWritten()) continue;
        attrs += ' ';
        attrs.append(a.name().view()).append("=\"").append(a.rawValue().view()) += '"';
    }
    if (children_.empty()) {
        out.append("<").append(name_.view()).append(attrs).append(">");
        out.append(content_.view());
        out.append("</").append(name_.view()).append(">");
        return;
    }
    bool tags = !name_.isEmpty() && name_.view() != "/";
    if (tags) out.append("<").append(name_.view()).append(attrs).append(">\r\n");
    for (const auto& child : children_) {
        child->appendText(out);
        out.append("\r\n");
    }
    if (tags) out.append("</").append(name_.view()).append(">");
}

}  // namespace VORLIN
