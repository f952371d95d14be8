#include "data/XmlReader.h"

#include <vector>

#include "data/XmlNode.h"
#include "data/XmlText.h"

namespace VORLIN {

namespace {

constexpr size_t npos = std::string_view::npos;

bool isSpace(char c) {
    return c == ' ' || c == '\r' || c == '\n' || c == '\t';
}

// The ">" that closes the "<" at `lt`, counting nested "<" and ">" (as the
// bodies of declarations such as <!DOCTYPE x [<!ENTITY ...>]> need); npos
// when the input ends first.
size_t matchingClose(std::string_view in, size_t lt) {
    size_t depth = 0;
    for (size_t i = lt; i < in.size(); ++i) {
        if (in[i] == '<') {
            ++depth;
        } else if (in[i] == '>') {
            if (--depth == 0) return i;
        }
    }
    return npos;
}

// The first word of `text`: everything up to a space, CR, LF or tab.
std::string_view firstWord(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && !isSpace(text[i]))
        ++i;
    return text.substr(0, i);
}

// Appends `text` without its control characters (bytes below 32).
void appendPrintable(std::string& out, std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 32) out += c;
    }
}

// The stored form of an attribute value read from the text. It is written
// back between double quotes, so a double quote that stood inside a
// single-quoted or unquoted value is stored as its entity.
std::string storedValue(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (char c : raw) {
        if (c == '"')
            out += "&quot;";
        else
            out += c;
    }
    return out;
}

// Whether only spaces (or nothing) stand in `text` from `i` on.
bool onlySpacesFrom(std::string_view text, size_t i) {
    while (i < text.size() && isSpace(text[i]))
        ++i;
    return i >= text.size();
}

// `word` without the slashes at its end.
std::string_view withoutSlashes(std::string_view word) {
    while (word.ends_with('/'))
        word.remove_suffix(1);
    return word;
}

// An encoding name as XML allows it: letters, digits, ".", "_" and "-".
bool isEncodingName(std::string_view v) {
    if (v.empty()) return false;
    for (char c : v) {
        bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                  c == '.' || c == '_' || c == '-';
        if (!ok) return false;
    }
    return true;
}

const char* const kBadHeader = "XmlDocument.parse: encabezado invalido";
const char* const kNoElement = "XmlDocument.parse: no hay ningun elemento";
const char* const kUnterminatedTag = "XmlDocument.parse: etiqueta sin terminar";
const char* const kMissingEndTag =
    "XmlDocument.parse: el texto termino antes de la etiqueta de cierre";
const char* const kStrayEndTag = "XmlDocument.parse: etiqueta de cierre inesperada";

}  // namespace

void XmlReader::fail(const char* message) {
    error_ = message;
}

bool XmlReader::readHeader(Header& header) {
    size_t lt = in_.find('<', pos_);
    size_t gt = lt == npos ? npos : matchingClose(in_, lt);
    if (gt == npos) {
        fail(kBadHeader);
        return false;
    }
    std::string_view body = in_.substr(lt + 1, gt - lt - 1);

    std::vector<std::string_view> words;
    for (size_t i = 0; i < body.size();) {
        while (i < body.size() && isSpace(body[i]))
            ++i;
        size_t start = i;
        while (i < body.size() && !isSpace(body[i]))
            ++i;
        if (i > start) words.push_back(body.substr(start, i - start));
    }
    // The declaration must end with "?", standing alone or glued to the last
    // word ("<?xml version=\"1.0\"?>").
    bool closed = false;
    if (!words.empty() && words.back() == "?") {
        words.pop_back();
        closed = true;
    } else if (!words.empty() && words.back().size() > 1 && words.back().back() == '?') {
        words.back().remove_suffix(1);
        closed = true;
    }
    if (!closed || words.empty() || words[0] != "?xml") {
        fail(kBadHeader);
        return false;
    }

    Header h;
    for (size_t w = 1; w < words.size(); ++w) {
        std::string_view pair = words[w];
        size_t eq = pair.find('=');
        if (eq == npos) {
            fail(kBadHeader);
            return false;
        }
        std::string_view name = pair.substr(0, eq);
        std::string_view value = pair.substr(eq + 1);
        if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
            value.back() == value.front()) {
            value = value.substr(1, value.size() - 2);
        } else if (value.find_first_of("\"'") != npos) {
            fail(kBadHeader);  // a quote that is not closed
            return false;
        }
        bool good = false;
        if (name == "version") {
            h.version = TextRef(value);
            good = h.version.isNumber(false);
        } else if (name == "encoding") {
            h.encoding = TextRef(value);
            good = isEncodingName(value);
        } else if (name == "standalone") {
            h.standalone = value == "yes";
            good = value == "yes" || value == "no";
        }
        if (!good) {
            fail(kBadHeader);
            return false;
        }
    }
    header = std::move(h);
    pos_ = gt + 1;
    return true;
}

void XmlReader::convertFromLatin1() {
    converted_ = latin1ToUtf8(in_.substr(pos_));
    in_ = converted_;
    pos_ = 0;
}

XmlReader::Markup XmlReader::next(std::string_view& text, std::string_view& body) {
    size_t lt = in_.find('<', pos_);
    if (lt == npos) {
        text = in_.substr(pos_);
        pos_ = in_.size();
        return Markup::None;
    }
    text = in_.substr(pos_, lt - pos_);
    std::string_view rest = in_.substr(lt);

    // Comments, CDATA sections and processing instructions end at their own
    // closing sequence, not at the first ">", which they may contain.
    struct Delimited {
        std::string_view open, close;
        Markup kind;
    };
    static constexpr Delimited kDelimited[] = {
        {"<!--", "-->", Markup::Ignored},
        {"<![CDATA[", "]]>", Markup::CData},
        {"<?", "?>", Markup::Ignored},
    };
    for (const Delimited& d : kDelimited) {
        if (!rest.starts_with(d.open)) continue;
        size_t end = in_.find(d.close, lt + d.open.size());
        if (end == npos) {
            pos_ = in_.size();
            return Markup::Unterminated;
        }
        body = in_.substr(lt + d.open.size(), end - lt - d.open.size());
        pos_ = end + d.close.size();
        return d.kind;
    }

    size_t gt = matchingClose(in_, lt);
    if (gt == npos) {
        pos_ = in_.size();
        return Markup::Unterminated;
    }
    body = in_.substr(lt + 1, gt - lt - 1);
    pos_ = gt + 1;
    if (body.starts_with('!')) return Markup::Ignored;  // <!DOCTYPE ...> and the like
    if (body.starts_with('/')) return Markup::End;
    return Markup::Start;
}

bool XmlReader::startElement(XmlNode& node, std::string_view body) {
    std::string_view name = firstWord(body);
    if (name.ends_with('/')) {
        // "<name/>": self-closing, written without a space. All the slashes
        // go, so that the name is not read as self-closing once written.
        node.name_ = TextRef(withoutSlashes(name));
        return true;
    }
    node.name_ = TextRef(name);
    // A name holding "<" or ">" comes from nested brackets; what follows it
    // is not read as attributes.
    if (name.find_first_of("<>") != npos) return false;

    size_t i = name.size();
    const size_t n = body.size();
    for (;;) {
        while (i < n && isSpace(body[i]))
            ++i;
        if (i >= n) return false;
        char c = body[i];
        if (c == '/' && (i + 1 == n || isSpace(body[i + 1]))) return true;  // the word "/"
        if (c == '=') {  // an "=" without a name: skipped
            ++i;
            continue;
        }
        if (c == '"' || c == '\'') {  // a value without a name: skipped
            size_t close = body.find(c, i + 1);
            i = close == npos ? n : close + 1;
            continue;
        }

        size_t start = i;
        while (i < n && !isSpace(body[i]) && body[i] != '=' && body[i] != '"' && body[i] != '\'')
            ++i;
        std::string_view attrName = body.substr(start, i - start);
        if (attrName.ends_with('/') && onlySpacesFrom(body, i)) {
            // "<a x/>": the closing slash glued to a name without value.
            std::string_view bare = withoutSlashes(attrName);
            if (!bare.empty()) node.attributes_.emplace_back(TextRef(bare), "", true);
            return true;
        }

        size_t j = i;
        while (j < n && isSpace(body[j]))
            ++j;
        std::string_view value;
        bool closes = false;
        if (j < n && body[j] == '=') {
            ++j;
            while (j < n && isSpace(body[j]))
                ++j;
            if (j < n && (body[j] == '"' || body[j] == '\'')) {
                size_t close = body.find(body[j], j + 1);
                size_t end = close == npos ? n : close;
                value = body.substr(j + 1, end - j - 1);
                i = close == npos ? n : close + 1;
            } else {
                // Unquoted value: up to the next space.
                size_t vs = j;
                while (j < n && !isSpace(body[j]))
                    ++j;
                value = body.substr(vs, j - vs);
                i = j;
                if (value.ends_with('/') && onlySpacesFrom(body, i)) {
                    value.remove_suffix(1);
                    closes = true;
                }
            }
        } else {
            i = j;  // a name without "=" has the empty value
        }
        node.attributes_.emplace_back(TextRef(attrName), TextRef(storedValue(value)), true);
        if (closes) return true;
    }
}

bool XmlReader::readElement(XmlNode& into, size_t maxDepth) {
    std::string_view text, body;

    // Up to the first start tag: text, comments, declarations and CDATA
    // outside any element are ignored.
    for (;;) {
        Markup kind = next(text, body);
        if (kind == Markup::Start) break;
        if (kind == Markup::None) {
            fail(kNoElement);
            return false;
        }
        if (kind == Markup::Unterminated) {
            fail(kUnterminatedTag);
            return false;
        }
        if (kind == Markup::End) {
            fail(kStrayEndTag);
            return false;
        }
    }
    if (startElement(into, body)) return true;
    if (maxDepth == 0) maxDepth = 1;

    // The elements still open, innermost last. Each collects its content in
    // a std::string (a String would be reallocated on every append); it is
    // stored in the node when the element closes or reading stops.
    struct Open {
        XmlNode* node;
        std::string content;
        bool hadChild = false;
    };
    std::vector<Open> open;
    open.push_back({&into, {}, false});

    // The text read since the last start or end tag: comments are dropped
    // from it and CDATA sections belong to it.
    std::string run;
    // Ends the current run of `top`, at its end tag or at the start of a
    // child. Text between child elements is joined behind a tab when there
    // is content already; a run of only spaces before or between children is
    // indentation and is dropped. A leaf keeps its text exactly.
    auto endRun = [&run](Open& top, bool childFollows) {
        bool blank = run.find_first_not_of(' ') == npos;
        if (!top.hadChild) {
            if (!(childFollows && blank)) top.content = std::move(run);
        } else if (!blank) {
            if (!top.content.empty()) top.content += '\t';
            top.content += run;
        }
        run.clear();
    };
    auto stop = [&](const char* message) {
        endRun(open.back(), false);
        for (Open& o : open)
            o.node->content_ = TextRef(o.content);
        fail(message);
        return false;
    };

    for (;;) {
        Markup kind = next(text, body);
        appendPrintable(run, text);
        switch (kind) {
            case Markup::None:
                return stop(kMissingEndTag);
            case Markup::Unterminated:
                return stop(kUnterminatedTag);
            case Markup::Ignored:
                break;
            case Markup::CData: {
                std::string plain;
                appendPrintable(plain, body);
                run.append(xmlEscape(plain).view());
                break;
            }
            case Markup::End: {
                Open& top = open.back();
                std::string_view word = firstWord(body).substr(1);
                if (word != top.node->name_.view()) return stop(kStrayEndTag);
                endRun(top, false);
                top.node->content_ = TextRef(top.content);
                open.pop_back();
                if (open.empty()) return true;
                break;
            }
            case Markup::Start: {
                Open& top = open.back();
                endRun(top, true);
                top.hadChild = true;
                if (open.size() >= maxDepth) {
                    String message;
                    message.format("XmlDocument.parse: mas de %zu niveles de anidamiento",
                                   maxDepth);
                    return stop(message.c_str());
                }
                XmlNode& child = top.node->addChild("");
                if (!startElement(child, body)) open.push_back({&child, {}, false});
                break;
            }
        }
    }
}

}  // namespace VORLIN
