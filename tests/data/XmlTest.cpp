#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "data/FileStream.h"
#include "data/XmlDocument.h"
#include "data/XmlNode.h"
#include "data/XmlText.h"

using VORLIN::String;
using VORLIN::XmlDocument;
using VORLIN::XmlEncoding;
using VORLIN::XmlNode;

namespace {

namespace fs = std::filesystem;

const char* const kUtf8Header = "<?xml version=\"1.0\" encoding=\"UTF-8\" ?>\r\n";

std::string text(const XmlDocument& doc) {
    return doc.toText().toStdString();
}

// Reads `xml` into a fresh document and expects it to succeed.
XmlDocument parsed(std::string_view xml, bool wrapRoot = false, bool checkHeader = false) {
    XmlDocument doc;
    EXPECT_TRUE(doc.parse(xml, wrapRoot, checkHeader)) << doc.lastError().c_str();
    return doc;
}

std::string nested(size_t levels) {
    std::string s;
    for (size_t i = 0; i < levels; ++i)
        s += "<n>";
    for (size_t i = 0; i < levels; ++i)
        s += "</n>";
    return s;
}

size_t depth(const XmlNode& node) {
    size_t d = 0;
    for (const auto& c : node.children())
        d = std::max(d, depth(*c));
    return d + 1;
}

// ------------------------------------------------------------------ escaping

TEST(XmlEscape, ReplacesTheFiveSpecialCharacters) {
    EXPECT_EQ(VORLIN::xmlEscape("a<b & 'c' \"d\" >"),
              "a&lt;b &amp; &apos;c&apos; &quot;d&quot; &gt;");
    EXPECT_EQ(VORLIN::xmlEscape("&lt;"), "&amp;lt;");
}

TEST(XmlEscape, UnescapeReadsEachReplacementOnlyOnce) {
    EXPECT_EQ(VORLIN::xmlUnescape("&amp;lt;"), "&lt;");
    EXPECT_EQ(VORLIN::xmlUnescape("&apos;&quot;&gt;&lt;&amp;"), "'\"><&");
}

TEST(XmlEscape, UnescapeLeavesOtherAmpersandsAlone) {
    EXPECT_EQ(VORLIN::xmlUnescape("a & b &amp c &#65; &foo; &"), "a & b &amp c &#65; &foo; &");
}

TEST(XmlEscape, RoundTripsEveryByte) {
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += char(c);
    String escaped = VORLIN::xmlEscape(all);
    EXPECT_EQ(escaped.view().find_first_of("<>\"'"), std::string_view::npos);
    EXPECT_EQ(VORLIN::xmlUnescape(escaped).toStdString(), all);
}

// ----------------------------------------------------------------- encodings

TEST(XmlEncodingHelpers, ClassifiesLabels) {
    EXPECT_EQ(VORLIN::xmlEncodingOf("UTF-8"), XmlEncoding::Utf8);
    EXPECT_EQ(VORLIN::xmlEncodingOf("utf8"), XmlEncoding::Utf8);
    EXPECT_EQ(VORLIN::xmlEncodingOf("ISO-8859-1"), XmlEncoding::Latin1);
    EXPECT_EQ(VORLIN::xmlEncodingOf("latin1"), XmlEncoding::Latin1);
    EXPECT_EQ(VORLIN::xmlEncodingOf("windows-1252"), XmlEncoding::Other);
    EXPECT_EQ(VORLIN::xmlEncodingOf(""), XmlEncoding::Other);
}

TEST(XmlEncodingHelpers, Latin1AndUtf8ConvertBothWays) {
    EXPECT_EQ(VORLIN::latin1ToUtf8("Cl\xe1sico \xff"), "Cl\xc3\xa1sico \xc3\xbf");
    EXPECT_EQ(VORLIN::utf8ToLatin1("Cl\xc3\xa1sico \xc3\xbf"), "Cl\xe1sico \xff");
    std::string all;
    for (int c = 0; c < 256; ++c)
        all += char(c);
    EXPECT_EQ(VORLIN::utf8ToLatin1(VORLIN::latin1ToUtf8(all)), all);
}

TEST(XmlEncodingHelpers, WhatLatin1CannotHoldBecomesAQuestionMark) {
    EXPECT_EQ(VORLIN::utf8ToLatin1("\xe2\x82\xac 5"), "? 5");  // the euro sign
    EXPECT_EQ(VORLIN::utf8ToLatin1("\xf0\x9f\x98\x80"), "?");  // four bytes, one "?"
    EXPECT_EQ(VORLIN::utf8ToLatin1("a\xc3"), "a?");            // cut short
    EXPECT_EQ(VORLIN::utf8ToLatin1("\x80\xc0\xaf"), "???");    // stray and overlong
    EXPECT_EQ(VORLIN::utf8ToLatin1("\xe2\x82x"), "??x");       // broken in the middle
}

// -------------------------------------------------------------------- model

TEST(XmlNodeModel, AddChildLinksParentAndEscapesWhenAsked) {
    XmlNode root("r");
    XmlNode& a = root.addChild("a", "a < b & c");
    XmlNode& b = root.addChild("b", "&lt;", false);
    EXPECT_EQ(a.parent(), &root);
    EXPECT_EQ(root.parent(), nullptr);
    EXPECT_EQ(a.rawContent(), "a &lt; b &amp; c");
    EXPECT_EQ(a.content(), "a < b & c");
    EXPECT_EQ(b.content(), "<");
    EXPECT_EQ(root.childCount(), 2u);
}

TEST(XmlNodeModel, AttributeGivesTheFirstUnescapedValue) {
    XmlNode n("n");
    n.addAttribute("Id", "a&b");
    n.addAttribute("Id", "second");
    n.addAttribute("raw", "&lt;x", false);
    EXPECT_EQ(n.attribute("Id"), "a&b");
    EXPECT_EQ(n.findAttribute("Id")->rawValue(), "a&amp;b");
    EXPECT_EQ(n.attribute("raw"), "<x");
    EXPECT_EQ(n.attribute("id"), "");  // names are case-sensitive
    EXPECT_EQ(n.findAttribute("none"), nullptr);
}

TEST(XmlNodeModel, FindChildDirectAfterAndRecursive) {
    XmlNode r("r");
    XmlNode& a1 = r.addChild("a");
    XmlNode& inner = a1.addChild("a");
    XmlNode& b = r.addChild("b");
    XmlNode& a2 = r.addChild("a");

    EXPECT_EQ(r.findChild("a"), &a1);
    EXPECT_EQ(r.findChild(""), &a1);
    EXPECT_EQ(r.findChild("a", &a1), &a2);
    EXPECT_EQ(r.findChild("", &a1), &b);
    EXPECT_EQ(r.findChild("a", &a2), nullptr);
    EXPECT_EQ(r.findChild("c"), nullptr);
    EXPECT_EQ(r.findChild("a", &inner), nullptr);  // not a direct child

    // Recursive: a child's subtree comes before the next child.
    std::vector<const XmlNode*> all;
    for (const XmlNode* n = r.findChild("a", nullptr, true); n; n = r.findChild("a", n, true))
        all.push_back(n);
    EXPECT_EQ(all, (std::vector<const XmlNode*>{&a1, &inner, &a2}));
}

TEST(XmlNodeModel, ClearKeepsNameAndContent) {
    XmlNode n("n");
    n.setContent("texto");
    n.addChild("c");
    n.addAttribute("a", "1");
    n.clear();
    EXPECT_EQ(n.childCount(), 0u);
    EXPECT_TRUE(n.attributes().empty());
    EXPECT_EQ(n.name(), "n");
    EXPECT_EQ(n.content(), "texto");
}

// ------------------------------------------------------------------- writer

TEST(XmlWriter, RootSlashWritesOnlyItsChildren) {
    XmlDocument doc;
    doc.setRootName("/");
    doc.addChild("a", "x");
    EXPECT_EQ(text(doc), std::string(kUtf8Header) + "<a>x</a>\r\n");
}

TEST(XmlWriter, EmptyElementIsNeverSelfClosing) {
    XmlNode n("a");
    EXPECT_EQ(n.toText(), "<a></a>");
}

TEST(XmlWriter, EmptyAttributeIsWrittenOnlyWithItsFlag) {
    XmlNode n("a");
    n.addAttribute("skip", "", true, false);
    EXPECT_EQ(n.toText(), "<a></a>");
    n.addAttribute("keep", "", true, true);
    n.addAttribute("x", "1");
    EXPECT_EQ(n.toText(), "<a keep=\"\" x=\"1\"></a>");
}

TEST(XmlWriter, ChildrenOnTheirOwnLinesWithoutIndentationAndWithoutContent) {
    XmlDocument doc;
    doc.setRootName("CONSULTA");
    doc.root().setContent("not written");
    XmlNode& t = doc.addChild("TABLA");
    t.addAttribute("nombre", "clientes");
    t.addChild("CAMPO", "saldo > 0");
    doc.addChild("vacio");
    EXPECT_EQ(text(doc), std::string(kUtf8Header) +
                             "<CONSULTA>\r\n"
                             "<TABLA nombre=\"clientes\">\r\n"
                             "<CAMPO>saldo &gt; 0</CAMPO>\r\n"
                             "</TABLA>\r\n"
                             "<vacio></vacio>\r\n"
                             "</CONSULTA>");
}

TEST(XmlWriter, UnnamedElementWritesItsChildrenInPlace) {
    XmlNode r("r");
    r.addChild("").addChild("a", "1");
    EXPECT_EQ(r.toText(), "<r>\r\n<a>1</a>\r\n\r\n</r>");
}

TEST(XmlWriter, DeclarationFollowsTheDocumentsEncoding) {
    XmlDocument utf8;
    EXPECT_EQ(utf8.encodingText(), "encoding=\"UTF-8\"");
    EXPECT_EQ(utf8.versionText(), "version=\"1.0\"");
    EXPECT_TRUE(utf8.isUtf8());
    EXPECT_TRUE(utf8.standalone());

    XmlDocument lower("utf-8");
    EXPECT_TRUE(lower.isUtf8());
    EXPECT_EQ(lower.encodingText(), "encoding=\"utf-8\"");

    XmlDocument latin("ISO-8859-1");
    EXPECT_FALSE(latin.isUtf8());
    EXPECT_EQ(latin.encodingKind(), XmlEncoding::Latin1);
}

TEST(XmlWriter, Latin1DocumentWritesLatin1Bytes) {
    XmlDocument doc("ISO-8859-1");
    doc.setRootName("r");
    doc.addChild("a\xc3\xb1o", "\xc3\xa1 \xe2\x82\xac");
    EXPECT_EQ(text(doc),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<r>\r\n<a\xf1o>\xe1 "
              "?</a\xf1o>\r\n</r>");
}

// ------------------------------------------------------------ reading: trees

TEST(XmlReaderTree, WrittenDocumentReadsBackTheSame) {
    XmlDocument doc;
    doc.setRootName("CONSULTA");
    XmlNode& t = doc.addChild("TABLA");
    t.addAttribute("nombre", "a \"b\" <c>");
    t.addAttribute("vacio", "", true, true);
    t.addChild("CAMPO", "a < b & c");
    doc.addChild("FILTRO", "x='1'");
    std::string written = text(doc);

    XmlDocument back;
    ASSERT_TRUE(back.parse(written)) << back.lastError().c_str();
    EXPECT_EQ(text(back), written);
    const XmlNode* tabla = back.root().findChild("TABLA");
    ASSERT_NE(tabla, nullptr);
    EXPECT_EQ(tabla->attribute("nombre"), "a \"b\" <c>");
    EXPECT_TRUE(tabla->findAttribute("vacio")->writeWhenEmpty());
    EXPECT_EQ(tabla->findChild("CAMPO")->content(), "a < b & c");
    EXPECT_EQ(back.root().findChild("FILTRO")->content(), "x='1'");
    EXPECT_EQ(tabla->parent(), &back.root());
}

TEST(XmlReaderTree, WrapRootPutsTheElementUnderASlashRoot) {
    XmlDocument doc = parsed("<a>x</a>", true);
    EXPECT_EQ(doc.root().name(), "/");
    ASSERT_EQ(doc.root().childCount(), 1u);
    EXPECT_EQ(doc.root().children()[0]->name(), "a");
    EXPECT_EQ(text(doc), std::string(kUtf8Header) + "<a>x</a>\r\n");
}

TEST(XmlReaderTree, ParseReplacesTheFormerTree) {
    XmlDocument doc = parsed("<a><b/><c/></a>");
    ASSERT_TRUE(doc.parse("<z>1</z>", false, false));
    EXPECT_EQ(doc.root().name(), "z");
    EXPECT_EQ(doc.root().childCount(), 0u);
    EXPECT_EQ(doc.root().content(), "1");
}

TEST(XmlReaderTree, DocumentMovesWithItsTree) {
    XmlDocument doc = parsed("<a><b>1</b></a>");
    XmlDocument moved(std::move(doc));
    EXPECT_EQ(moved.root().findChild("b")->content(), "1");
}

// ------------------------------------------------------- reading: the header

TEST(XmlReaderHeader, ReadsVersionEncodingAndStandalone) {
    XmlDocument doc;
    ASSERT_TRUE(doc.parse("<?xml version='1.1' encoding='ISO-8859-1' standalone='no'?><a/>"));
    EXPECT_EQ(doc.versionText(), "version=\"1.1\"");
    EXPECT_EQ(doc.encodingText(), "encoding=\"ISO-8859-1\"");
    EXPECT_FALSE(doc.standalone());
    EXPECT_EQ(doc.root().name(), "a");
}

TEST(XmlReaderHeader, WithoutEncodingTheTextIsUtf8) {
    XmlDocument doc("ISO-8859-1");
    ASSERT_TRUE(doc.parse("<?xml version=\"1.0\" ?><a>\xc3\xb1</a>"));
    EXPECT_TRUE(doc.isUtf8());
    EXPECT_EQ(doc.root().content(), "\xc3\xb1");
}

TEST(XmlReaderHeader, InvalidHeadersAreRefused) {
    const char* bad[] = {
        "<?xml version=\"1.0\" standalone=\"maybe\" ?><a/>",  // standalone must be yes or no
        "<?xml version=\"uno\" ?><a/>",                       // version must be a number
        "<?xml version=\"1.0\" color=\"red\" ?><a/>",         // unknown pair
        "<?xml version=\"1.0\" ><a/>",                        // no closing "?"
        "<?xml version ?><a/>",                               // pair without "="
        "<?xml version=\"1.0 ?><a/>",                         // unclosed quote
        "<?xml encoding=\"UTF 8\" ?><a/>",                    // not an encoding name
        "<a/>",                                               // no declaration at all
        "",
        "<?xml version=\"1.0\" ?",  // never closed
    };
    for (const char* xml : bad) {
        XmlDocument doc;
        EXPECT_FALSE(doc.parse(xml)) << xml;
        EXPECT_EQ(doc.lastError(), "XmlDocument.parse: encabezado invalido") << xml;
    }
}

TEST(XmlReaderHeader, DoctypeWithNestedBracketsIsSkipped) {
    XmlDocument doc = parsed(
        "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY e \"<x>\">]>\n<r>1</r>", false, true);
    EXPECT_EQ(doc.root().name(), "r");
    EXPECT_EQ(doc.root().content(), "1");
}

TEST(XmlReaderHeader, WithoutCheckTheDeclarationIsSkippedUnread) {
    XmlDocument doc;
    ASSERT_TRUE(
        doc.parse("<?xml version=\"2\" encoding=\"ISO-8859-1\"?><a>\xc3\xb1</a>", false, false));
    EXPECT_EQ(doc.versionText(), "version=\"1.0\"");
    EXPECT_TRUE(doc.isUtf8());
    EXPECT_EQ(doc.root().content(), "\xc3\xb1");
}

// -------------------------------------------- reading: the tolerant rules

TEST(XmlReaderTolerance, CommentsAreSkippedEvenWithBracketsInside) {
    XmlDocument doc = parsed("<!-- a > b <c> --><r><!-- x --><a>1</a></r>");
    EXPECT_EQ(doc.root().name(), "r");
    ASSERT_EQ(doc.root().childCount(), 1u);
    EXPECT_EQ(doc.root().findChild("a")->content(), "1");
}

TEST(XmlReaderTolerance, SelfClosingTagsMakeElementsWithoutContent) {
    XmlDocument doc = parsed("<r><a/><b x=\"1\"/><c x=\"2\" /><d y/><e/ ></r>");
    ASSERT_EQ(doc.root().childCount(), 5u);
    for (const auto& c : doc.root().children()) {
        EXPECT_TRUE(c->content().isEmpty());
        EXPECT_EQ(c->childCount(), 0u);
    }
    EXPECT_EQ(doc.root().children()[0]->name(), "a");
    EXPECT_EQ(doc.root().findChild("b")->attribute("x"), "1");
    EXPECT_EQ(doc.root().findChild("c")->attribute("x"), "2");
    ASSERT_EQ(doc.root().findChild("d")->attributes().size(), 1u);
    EXPECT_EQ(doc.root().findChild("d")->attributes()[0].name(), "y");
    EXPECT_EQ(doc.root().children()[4]->name(), "e");
}

TEST(XmlReaderTolerance, AttributesKeepTheirEscapedValuesAndTheEmptyFlag) {
    XmlDocument doc = parsed("<a x=\"a&amp;b\" s='c\"d' u=e/f v w = \"sp\"\r\n\tz=\"\"></a>");
    const auto& attrs = doc.root().attributes();
    ASSERT_EQ(attrs.size(), 6u);
    EXPECT_EQ(attrs[0].rawValue(), "a&amp;b");
    EXPECT_EQ(attrs[1].rawValue(), "c&quot;d");  // a quote inside single quotes
    EXPECT_EQ(attrs[1].value(), "c\"d");
    EXPECT_EQ(attrs[2].value(), "e/f");  // unquoted
    EXPECT_EQ(attrs[3].name(), "v");     // no value
    EXPECT_EQ(attrs[3].value(), "");
    EXPECT_EQ(attrs[4].value(), "sp");
    EXPECT_EQ(attrs[5].name(), "z");
    for (const auto& a : attrs)
        EXPECT_TRUE(a.writeWhenEmpty());
    EXPECT_EQ(doc.root().toText(),
              "<a x=\"a&amp;b\" s=\"c&quot;d\" u=\"e/f\" v=\"\" w=\"sp\" z=\"\"></a>");
}

TEST(XmlReaderTolerance, NameWithBracketsReadsNoAttributes) {
    XmlDocument doc = parsed("<a<b> x=\"1\">t</a<b>>");
    EXPECT_EQ(doc.root().name(), "a<b>");
    EXPECT_TRUE(doc.root().attributes().empty());
    EXPECT_EQ(doc.root().content(), "t");
}

TEST(XmlReaderTolerance, ContentLosesControlCharactersOnly) {
    XmlDocument doc = parsed("<a>\r\n\t uno\x01 dos \xc3\xb1\x7f</a>");
    EXPECT_EQ(doc.root().content(), " uno dos \xc3\xb1\x7f");
}

TEST(XmlReaderTolerance, LeafKeepsItsSpaces) {
    EXPECT_EQ(parsed("<a>  x  </a>").root().content(), "  x  ");
    EXPECT_EQ(parsed("<a>   </a>").root().content(), "   ");
}

TEST(XmlReaderTolerance, TextBetweenChildrenJoinsBehindATab) {
    EXPECT_EQ(parsed("<a>uno<b/>dos<c/>tres</a>").root().content(), "uno\tdos\ttres");
    EXPECT_EQ(parsed("<a><b/>dos</a>").root().content(), "dos");
    // Indentation between children is not content.
    EXPECT_EQ(parsed("<a>\r\n  <b/>\r\n  <c/>\r\n</a>").root().content(), "");
}

TEST(XmlReaderTolerance, CommentsAndProcessingInstructionsDoNotSplitText) {
    EXPECT_EQ(parsed("<a>uno<!-- c -->dos<?pi x?>tres</a>").root().content(), "unodostres");
}

TEST(XmlReaderTolerance, CdataBecomesEscapedContent) {
    XmlDocument doc = parsed("<a>x: <![CDATA[1 < 2 & \"3\"]]></a>");
    EXPECT_EQ(doc.root().content(), "x: 1 < 2 & \"3\"");
    EXPECT_EQ(doc.root().toText(), "<a>x: 1 &lt; 2 &amp; &quot;3&quot;</a>");
}

TEST(XmlReaderTolerance, TextAroundTheRootElementIsIgnored) {
    XmlDocument doc = parsed("\xef\xbb\xbf basura <r>1</r> y <otro/> mas");
    EXPECT_EQ(doc.root().name(), "r");
    EXPECT_EQ(doc.root().content(), "1");
}

TEST(XmlReaderTolerance, EndTagMayCarrySpaces) {
    EXPECT_EQ(parsed("<a><b>1</b ></a\r\n>").root().findChild("b")->content(), "1");
}

// ------------------------------------------------------ reading: failures

struct Failure {
    const char* xml;
    const char* error;
};

TEST(XmlReaderFailure, BadInputReturnsFalseWithAReason) {
    const Failure cases[] = {
        {"", "XmlDocument.parse: no hay ningun elemento"},
        {"solo texto <!-- y un comentario -->", "XmlDocument.parse: no hay ningun elemento"},
        {"<a", "XmlDocument.parse: etiqueta sin terminar"},
        {"<a><!-- sin fin </a>", "XmlDocument.parse: etiqueta sin terminar"},
        {"<a><![CDATA[ sin fin </a>", "XmlDocument.parse: etiqueta sin terminar"},
        {"<a><b>", "XmlDocument.parse: el texto termino antes de la etiqueta de cierre"},
        {"<a></b></a>", "XmlDocument.parse: etiqueta de cierre inesperada"},
        {"</a><a/>", "XmlDocument.parse: etiqueta de cierre inesperada"},
    };
    for (const Failure& f : cases) {
        XmlDocument doc;
        EXPECT_FALSE(doc.parse(f.xml, false, false)) << f.xml;
        EXPECT_EQ(doc.lastError(), f.error) << f.xml;
    }
}

TEST(XmlReaderFailure, KeepsTheTreeAsFarAsItWasRead) {
    XmlDocument doc;
    EXPECT_FALSE(doc.parse("<r>texto<a x=\"1\">uno</a><b>dos", false, false));
    EXPECT_EQ(doc.root().name(), "r");
    EXPECT_EQ(doc.root().content(), "texto");
    ASSERT_EQ(doc.root().childCount(), 2u);
    EXPECT_EQ(doc.root().findChild("a")->content(), "uno");
    EXPECT_EQ(doc.root().findChild("a")->attribute("x"), "1");
    EXPECT_EQ(doc.root().findChild("b")->content(), "dos");
}

TEST(XmlReaderFailure, SuccessClearsTheFormerReason) {
    XmlDocument doc;
    EXPECT_FALSE(doc.parse("<a>", false, false));
    EXPECT_TRUE(doc.parse("<a/>", false, false));
    EXPECT_TRUE(doc.lastError().isEmpty());
}

// ------------------------------------------------------ reading: the bounds

TEST(XmlReaderBounds, NestingUpToTheBoundIsRead) {
    XmlDocument doc = parsed(nested(XmlDocument::kMaxDepth));
    EXPECT_EQ(depth(doc.root()), XmlDocument::kMaxDepth);
    XmlDocument wrapped = parsed(nested(XmlDocument::kMaxDepth), true);
    EXPECT_EQ(depth(wrapped.root()), XmlDocument::kMaxDepth + 1);  // plus the "/" root
}

TEST(XmlReaderBounds, DeeperNestingFailsAndKeepsTheBoundedTree) {
    XmlDocument doc;
    EXPECT_FALSE(doc.parse(nested(XmlDocument::kMaxDepth + 1), false, false));
    EXPECT_EQ(doc.lastError(), "XmlDocument.parse: mas de 256 niveles de anidamiento");
    EXPECT_EQ(depth(doc.root()), XmlDocument::kMaxDepth);

    std::string selfClosing;
    for (size_t i = 0; i < XmlDocument::kMaxDepth; ++i)
        selfClosing += "<n>";
    selfClosing += "<leaf/>";
    EXPECT_FALSE(doc.parse(selfClosing, false, false));
    EXPECT_EQ(doc.lastError(), "XmlDocument.parse: mas de 256 niveles de anidamiento");
}

TEST(XmlReaderBounds, HostileInputsTakeLinearTime) {
    // Each would take minutes if any step rescanned or regrew its text.
    std::string manyChildren = "<r>";
    std::string manyPieces = "<r>";
    for (int i = 0; i < 100000; ++i) {
        manyChildren += "<a x=\"1\">t</a>";
        manyPieces += "texto<b/>";
    }
    manyChildren += "</r>";
    manyPieces += "</r>";
    std::string openBrackets(1000000, '<');
    std::string manyAttributes = "<a";
    for (int i = 0; i < 200000; ++i)
        manyAttributes += " x";
    manyAttributes += ">";
    for (int i = 0; i < 100000; ++i)
        manyAttributes += "<!---->";

    auto start = std::chrono::steady_clock::now();
    XmlDocument doc;
    EXPECT_TRUE(doc.parse(manyChildren, false, false));
    EXPECT_EQ(doc.root().childCount(), 100000u);
    EXPECT_TRUE(doc.parse(manyPieces, false, false));
    EXPECT_EQ(doc.root().content().length(), 100000u * 6 - 1);
    EXPECT_FALSE(doc.parse(openBrackets, false, false));
    EXPECT_FALSE(doc.parse(manyAttributes, false, false));  // never closed
    EXPECT_EQ(doc.root().attributes().size(), 200000u);
    auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(seconds, 20.0);
}

// ------------------------------------------------------------ encodings

TEST(XmlReaderEncoding, Latin1DocumentIsReadAsUtf8) {
    XmlDocument doc;
    ASSERT_TRUE(
        doc.parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>"
                  "<r t\xedtulo=\"Cl\xe1sico\"><a\xf1o>\xf1"
                  "and\xfa</a\xf1o></r>"));
    EXPECT_EQ(doc.encodingKind(), XmlEncoding::Latin1);
    EXPECT_EQ(doc.root().attribute("t\xc3\xadtulo"), "Cl\xc3\xa1sico");
    const XmlNode* year = doc.root().findChild("a\xc3\xb1o");
    ASSERT_NE(year, nullptr);
    EXPECT_EQ(year->content(),
              "\xc3\xb1"
              "and\xc3\xba");
    // Written back, the document holds Latin-1 bytes again.
    EXPECT_EQ(text(doc),
              "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n"
              "<r t\xedtulo=\"Cl\xe1sico\">\r\n<a\xf1o>\xf1"
              "and\xfa</a\xf1o>\r\n</r>");
}

TEST(XmlReaderEncoding, Utf8DocumentIsReadAsItIs) {
    XmlDocument doc;
    ASSERT_TRUE(
        doc.parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>\xc3\xb1 \xe2\x82\xac</r>"));
    EXPECT_EQ(doc.root().content(), "\xc3\xb1 \xe2\x82\xac");
}

TEST(XmlReaderEncoding, EachDocumentDecidesForItself) {
    // A UTF-8 document read first changes nothing for the documents after it.
    XmlDocument utf8;
    ASSERT_TRUE(utf8.parse("<?xml version=\"1.0\" encoding=\"UTF-8\"?><r>\xc3\xb1</r>"));
    XmlDocument latin;
    ASSERT_TRUE(latin.parse("<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>\xf1</r>"));
    EXPECT_EQ(latin.root().content(), "\xc3\xb1");
    // Without a header, the document's own encoding applies.
    XmlDocument headerless("ISO-8859-1");
    ASSERT_TRUE(headerless.parse("<r>\xf1</r>", false, false));
    EXPECT_EQ(headerless.root().content(), "\xc3\xb1");
    XmlDocument other("windows-1252");
    ASSERT_TRUE(other.parse("<r>\xf1</r>", false, false));
    EXPECT_EQ(other.root().content(), "\xf1");
}

// ------------------------------------------------------------------ files

class XmlFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("quelmir_xml_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string path(const char* name) const { return (dir_ / name).string(); }

    fs::path dir_;
};

TEST_F(XmlFileTest, SavedDocumentLoadsBack) {
    XmlDocument doc;
    doc.setRootName("COLORSCHEMA");
    XmlNode& c = doc.addChild("COLOR", "fondo & texto");
    c.addAttribute("Id", "\xc3\xa1rea");
    ASSERT_TRUE(doc.saveFile(path("esquema.csh")));

    XmlDocument back;
    ASSERT_TRUE(back.loadFile(path("esquema.csh")));
    EXPECT_EQ(back.root().findChild("COLOR")->content(), "fondo & texto");
    EXPECT_EQ(back.root().findChild("COLOR")->attribute("Id"), "\xc3\xa1rea");
    EXPECT_EQ(text(back), text(doc));
}

TEST_F(XmlFileTest, Latin1FileHoldsLatin1Bytes) {
    XmlDocument doc("ISO-8859-1");
    doc.setRootName("r");
    doc.root().setContent("a\xc3\xb1o");
    ASSERT_TRUE(doc.saveFile(path("viejo.xml")));

    VORLIN::FileStream f;
    ASSERT_TRUE(f.open(path("viejo.xml"), "rb"));
    std::string bytes(size_t(f.size()), '\0');
    f.read(bytes.data(), bytes.size());
    EXPECT_EQ(bytes, "<?xml version=\"1.0\" encoding=\"ISO-8859-1\" ?>\r\n<r>a\xf1o</r>");

    XmlDocument back;
    ASSERT_TRUE(back.loadFile(path("viejo.xml")));
    EXPECT_EQ(back.root().content(), "a\xc3\xb1o");
}

TEST_F(XmlFileTest, MissingFileReturnsFalse) {
    XmlDocument doc;
    EXPECT_FALSE(doc.loadFile(path("no-existe.xml")));
    EXPECT_EQ(doc.lastError(), "XmlDocument.loadFile: no se pudo abrir el archivo");
    EXPECT_FALSE(doc.saveFile(path("no-existe/dentro.xml")));
    EXPECT_FALSE(doc.loadFile(dir_.string()));  // a folder opens but holds no document
}

TEST_F(XmlFileTest, LargeFileIsReadWhole) {
    XmlDocument doc;
    doc.setRootName("r");
    for (int i = 0; i < 20000; ++i)
        doc.addChild("fila", "valor " + std::to_string(i));
    ASSERT_TRUE(doc.saveFile(path("grande.xml")));
    XmlDocument back;
    ASSERT_TRUE(back.loadFile(path("grande.xml")));
    EXPECT_EQ(back.root().childCount(), 20000u);
    EXPECT_EQ(back.root().children().back()->content(), "valor 19999");
}

}  // namespace
