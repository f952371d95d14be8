// Fuzz target for the XML reader and writer.
//
// Every input is parsed in the four reading modes (with and without the
// wrapping root, with and without the header check), and without the header
// check also by a document declared Latin-1. Whatever the input,
// parsing must return (no crash, no exception, no hang) and the tree read so
// far must be writable and searchable. When parsing succeeds, the written
// text must read back, and writing what was read back must be stable:
// write(read(write(tree))) == write(tree) once the writer has flattened
// elements without a name. The escaping and Latin-1 helpers must invert.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "data/XmlDocument.h"
#include "data/XmlText.h"

using VORLIN::String;
using VORLIN::TextRef;
using VORLIN::XmlDocument;
using VORLIN::XmlNode;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "xml_fuzz: %s\n", what);
        std::abort();
    }
}

bool hasBracket(std::string_view s) {
    return s.find_first_of("<>") != std::string_view::npos;
}

// Walks the tree, using the read-side operations on every element.
// `plain` stays true while no name or attribute value holds "<" or ">":
// such texts come only from unbalanced brackets inside a tag, which the
// writer cannot reproduce, and then the round trip is not checked.
void walk(const XmlNode& node, size_t depth, bool& plain, bool& unnamedParent) {
    check(depth <= XmlDocument::kMaxDepth + 1, "tree deeper than the bound");
    (void)node.content();
    if (hasBracket(node.name().view())) plain = false;
    if (node.name().isEmpty() && node.childCount() > 0) unnamedParent = true;
    for (const auto& a : node.attributes()) {
        if (hasBracket(a.name().view()) || hasBracket(a.rawValue().view())) plain = false;
        (void)a.value();
    }
    if (!node.attributes().empty()) (void)node.attribute(node.attributes().front().name());
    const XmlNode* first = node.findChild("", nullptr, false);
    check(first == (node.childCount() ? node.children().front().get() : nullptr),
          "findChild(\"\") is not the first child");
    if (first) (void)node.findChild(first->name(), first, true);
    for (const auto& child : node.children()) {
        check(child->parent() == &node, "broken parent link");
        walk(*child, depth + 1, plain, unnamedParent);
    }
}

void roundTrip(std::string_view input, bool wrapRoot, bool checkHeader, const char* encoding) {
    XmlDocument doc(encoding);
    bool ok = doc.parse(TextRef(input), wrapRoot, checkHeader);
    check(ok == doc.lastError().isEmpty(), "lastError does not match the result");
    bool plain = true, unnamedParent = false;
    walk(doc.root(), 0, plain, unnamedParent);
    String text1 = doc.toText();
    if (!ok || !plain) return;

    XmlDocument second(encoding);
    check(second.parse(text1, wrapRoot, checkHeader), "written text does not read back");
    String text2 = second.toText();
    if (!unnamedParent) check(text2 == text1, "read back text writes differently");

    XmlDocument third(encoding);
    check(third.parse(text2, wrapRoot, checkHeader), "second written text does not read back");
    check(third.toText() == text2, "writing is not stable");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view input(reinterpret_cast<const char*>(data), size);

    for (int mode = 0; mode < 4; ++mode)
        roundTrip(input, mode & 1, mode & 2, "");
    // Without a header the document's own encoding decides how bytes read.
    roundTrip(input, false, false, "ISO-8859-1");
    roundTrip(input, true, false, "ISO-8859-1");

    String escaped = VORLIN::xmlEscape(TextRef(input));
    check(VORLIN::xmlUnescape(escaped).view() == input, "xmlUnescape(xmlEscape(x)) != x");
    check(VORLIN::utf8ToLatin1(VORLIN::latin1ToUtf8(input)) == input,
          "utf8ToLatin1(latin1ToUtf8(x)) != x");
    return 0;
}
