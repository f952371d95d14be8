#include "data/XmlText.h"

#include <array>
#include <cstdint>

namespace VORLIN {

namespace {

bool isContinuation(unsigned char c) {
    return (c & 0xC0) == 0x80;
}

// Length of the UTF-8 sequence announced by lead byte `c`, 0 when `c` cannot
// start one (a continuation byte, the overlong leads C0 and C1, F5 and up).
size_t sequenceLength(unsigned char c) {
    if (c < 0x80) return 1;
    if (c >= 0xC2 && c <= 0xDF) return 2;
    if (c >= 0xE0 && c <= 0xEF) return 3;
    if (c >= 0xF0 && c <= 0xF4) return 4;
    return 0;
}

}  // namespace

String xmlEscape(TextRef text) {
    // One pass gives the same result as the five replacements in the order
    // "&", "'", "\"", ">", "<": only "&" could be produced and read again,
    // and it is replaced first.
    std::string out;
    out.reserve(text.size());
    for (char c : text.view()) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '\'':
                out += "&apos;";
                break;
            case '"':
                out += "&quot;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '<':
                out += "&lt;";
                break;
            default:
                out += c;
        }
    }
    return String(TextRef(out));
}

String xmlUnescape(TextRef text) {
    static constexpr std::array<std::pair<std::string_view, char>, 5> kEntities = {{
        {"&apos;", '\''},
        {"&amp;", '&'},
        {"&quot;", '"'},
        {"&gt;", '>'},
        {"&lt;", '<'},
    }};
    std::string_view in = text.view();
    std::string out;
    out.reserve(in.size());
    size_t i = 0;
    while (i < in.size()) {
        size_t amp = in.find('&', i);
        if (amp == std::string_view::npos) {
            out.append(in.substr(i));
            break;
        }
        out.append(in.substr(i, amp - i));
        i = amp + 1;
        char replaced = '&';
        for (const auto& [entity, ch] : kEntities) {
            if (in.substr(amp, entity.size()) == entity) {
                replaced = ch;
                i = amp + entity.size();
                break;
            }
        }
        out += replaced;
    }
    return String(TextRef(out));
}

XmlEncoding xmlEncodingOf(TextRef label) {
    String l(label);
    l.makeLower();
    std::string_view v = l.view();
    if (v == "utf-8" || v == "utf8") return XmlEncoding::Utf8;
    if (v == "iso-8859-1" || v == "iso8859-1" || v == "iso_8859-1" || v == "latin1" ||
        v == "latin-1") {
        return XmlEncoding::Latin1;
    }
    return XmlEncoding::Other;
}

std::string latin1ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            out += ch;
        } else {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string utf8ToLatin1(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        size_t n = sequenceLength(c);
        bool whole = n > 0 && i + n <= text.size();
        for (size_t k = 1; whole && k < n; ++k) {
            whole = isContinuation(static_cast<unsigned char>(text[i + k]));
        }
        if (!whole) {
            // A broken sequence costs one "?" per byte and reading goes on
            // with the next byte.
            out += '?';
            ++i;
            continue;
        }
        if (n == 1) {
            out += char(c);
        } else if (n == 2 && c <= 0xC3) {
            // C2 xx and C3 xx are exactly U+0080..U+00FF.
            out += char(((c & 0x03) << 6) | (static_cast<unsigned char>(text[i + 1]) & 0x3F));
        } else {
            out += '?';
        }
        i += n;
    }
    return out;
}

}  // namespace VORLIN
