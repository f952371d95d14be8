#include "ui/ColoringLexer.h"

#include <algorithm>
#include <cmath>
#include <string>

#include <Qsci/qsciscintilla.h>
#include <QByteArray>
#include <QFontDatabase>
#include <QPalette>

namespace VORLIN {

namespace {

// The colours of comments, quoted texts and numbers on a light paper.
const QColor kCommentColor(100, 108, 116);
const QColor kQuotedColor(170, 20, 40);
const QColor kNumberColor(160, 0, 110);

double channel(double v) {
    v /= 255.0;
    return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
}

double luminance(const QColor& c) {
    return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

bool isWordStart(unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c >= 0x80;
}

bool isDigit(unsigned char c) {
    return c >= '0' && c <= '9';
}

bool isWordChar(unsigned char c) {
    return isWordStart(c) || isDigit(c);
}

bool isHexDigit(unsigned char c) {
    return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

}  // namespace

ColoringLexer::ColoringLexer(QObject* parent)
    : QsciLexerCustom(parent),
      paper_(Qt::white),
      text_(Qt::black),
      font_(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {}

double ColoringLexer::contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor ColoringLexer::readable(const QColor& wanted, const QColor& paper) {
    if (contrast(wanted, paper) >= kMinContrast) return wanted;
    // Black and white reach the same contrast on a paper of luminance
    // 0.179: below it the text gets lighter, above it darker.
    const bool darkPaper = luminance(paper) < 0.179;
    float h = 0, s = 0, l = 0;
    wanted.getHslF(&h, &s, &l);
    QColor out = wanted;
    for (int step = 0; step < 100 && contrast(out, paper) < kMinContrast; ++step) {
        l = darkPaper ? std::min(1.0f, l + 0.02f) : std::max(0.0f, l - 0.02f);
        out = QColor::fromHslF(h, s, l);
        if (l <= 0.0f || l >= 1.0f) break;
    }
    return out;
}

QString ColoringLexer::description(int style) const {
    switch (style) {
        case kDefault:
            return QStringLiteral("Default");
        case kComment:
            return QStringLiteral("Comment");
        case kQuoted:
            return QStringLiteral("Quoted text");
        case kNumber:
            return QStringLiteral("Number");
        default:
            if (style >= kFirstGroup && style < styleCount())
                return QStringLiteral("Word group %1").arg(style - kFirstGroup + 1);
            return QString();
    }
}

QColor ColoringLexer::styleColor(int style) const {
    switch (style) {
        case kComment:
            return readable(kCommentColor, paper_);
        case kQuoted:
            return readable(kQuotedColor, paper_);
        case kNumber:
            return readable(kNumberColor, paper_);
        default:
            if (style >= kFirstGroup && style < styleCount()) {
                const Color c = set_.groups()[size_t(style - kFirstGroup)].color;
                if (!c.isNone()) return readable(QColor(c.red(), c.green(), c.blue()), paper_);
            }
            return text_;
    }
}

QColor ColoringLexer::defaultColor(int style) const {
    return styleColor(style);
}

QColor ColoringLexer::defaultPaper(int) const {
    return paper_;
}

QFont ColoringLexer::defaultFont(int style) const {
    QFont f = font_;
    if (style == kComment) f.setItalic(true);
    return f;
}

const char* ColoringLexer::wordCharacters() const {
    // The bytes of UTF-8 sequences too: "año" is one word for word moves
    // and selection, as for the colouring.
    static const std::string chars = [] {
        std::string s = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
        for (int c = 0x80; c <= 0xFF; ++c)
            s += char(c);
        return s;
    }();
    return chars.c_str();
}

void ColoringLexer::applyPalette(const QPalette& palette, const QFont& font) {
    paper_ = palette.color(QPalette::Active, QPalette::Base);
    text_ = readable(palette.color(QPalette::Active, QPalette::Text), paper_);
    font_ = font;
    setDefaultPaper(paper_);
    setDefaultColor(text_);
    setDefaultFont(font_);
    setPaper(paper_, -1);
    setFont(font_, -1);
    setFont(defaultFont(kComment), kComment);
    for (int s = 0; s < styleCount(); ++s)
        setColor(styleColor(s), s);
}

void ColoringLexer::setColoringSet(const ColoringSet& set) {
    set_ = set;
    for (int s = 0; s < styleCount(); ++s) {
        setColor(styleColor(s), s);
        setPaper(paper_, s);
        setFont(defaultFont(s), s);
    }
    if (editor()) editor()->recolor();
}

void ColoringLexer::styleText(int start, int end) {
    QsciScintilla* ed = editor();
    if (!ed) return;
    const int length = int(ed->SendScintilla(QsciScintillaBase::SCI_GETLENGTH));
    end = std::min(end, length);
    if (end <= start) return;
    const int firstLine = int(ed->SendScintilla(QsciScintillaBase::SCI_LINEFROMPOSITION, start));
    start = int(ed->SendScintilla(QsciScintillaBase::SCI_POSITIONFROMLINE, firstLine));
    const std::string_view marker = set_.lineComment().view();

    // Each line's state is the quote still open at its end (0 for none).
    // When the state of the last line styled changes, what follows reads
    // differently: the rest of the text is styled too.
    for (;;) {
        const QByteArray bytes = ed->bytes(start, end);
        const unsigned char* b = reinterpret_cast<const unsigned char*>(bytes.constData());
        const int n = std::min(int(bytes.size()), end - start);
        int line = firstLine;
        unsigned char quote =
            line > 0 ? (unsigned char)(ed->SendScintilla(QsciScintillaBase::SCI_GETLINESTATE,
                                                         (unsigned long)(line - 1)))
                     : 0;
        bool lastChanged = false;
        auto lineEnds = [&]() {
            const int old =
                int(ed->SendScintilla(QsciScintillaBase::SCI_GETLINESTATE, (unsigned long)line));
            lastChanged = old != int(quote);
            if (lastChanged)
                ed->SendScintilla(QsciScintillaBase::SCI_SETLINESTATE, (unsigned long)line,
                                  long(quote));
            ++line;
        };
        startStyling(start);
        int i = 0;
        while (i < n) {
            const int from = i;
            const unsigned char c = b[i];
            if (quote || c == '\'' || c == '"') {
                if (!quote) {
                    quote = c;
                    ++i;
                }
                while (i < n) {
                    const unsigned char d = b[i++];
                    if (d == '\n') {
                        lineEnds();
                    } else if (d == quote) {
                        quote = 0;
                        break;
                    }
                }
                setStyling(i - from, kQuoted);
            } else if (c == '\n') {
                ++i;
                lineEnds();
                setStyling(1, kDefault);
            } else if (!marker.empty() && size_t(n - i) >= marker.size() &&
                       std::equal(marker.begin(), marker.end(), b + i)) {
                while (i < n && b[i] != '\n')
                    ++i;
                setStyling(i - from, kComment);
            } else if (isWordStart(c)) {
                while (i < n && isWordChar(b[i]))
                    ++i;
                const int group = set_.groupOf(
                    std::string_view(reinterpret_cast<const char*>(b + from), size_t(i - from)));
                setStyling(i - from, group >= 0 ? kFirstGroup + group : kDefault);
            } else if (isDigit(c) || (c == '.' && i + 1 < n && isDigit(b[i + 1]))) {
                if (c == '0' && i + 2 < n && (b[i + 1] == 'x' || b[i + 1] == 'X') &&
                    isHexDigit(b[i + 2])) {
                    i += 2;
                    while (i < n && isHexDigit(b[i]))
                        ++i;
                } else {
                    while (i < n && isDigit(b[i]))
                        ++i;
                    if (i < n && b[i] == '.') {
                        ++i;
                        while (i < n && isDigit(b[i]))
                            ++i;
                    }
                    if (i < n && (b[i] == 'e' || b[i] == 'E')) {
                        int j = i + 1;
                        if (j < n && (b[j] == '+' || b[j] == '-')) ++j;
                        if (j < n && isDigit(b[j])) {
                            i = j;
                            while (i < n && isDigit(b[i]))
                                ++i;
                        }
                    }
                }
                // "2abc" is no number: the whole run stays plain text.
                bool plain = false;
                while (i < n && isWordChar(b[i])) {
                    ++i;
                    plain = true;
                }
                setStyling(i - from, plain ? kDefault : kNumber);
            } else {
                ++i;
                while (i < n) {
                    const unsigned char d = b[i];
                    if (d == '\n' || d == '\'' || d == '"' || isWordChar(d) ||
                        (d == '.' && i + 1 < n && isDigit(b[i + 1])) ||
                        (!marker.empty() && size_t(n - i) >= marker.size() &&
                         std::equal(marker.begin(), marker.end(), b + i)))
                        break;
                    ++i;
                }
                setStyling(i - from, kDefault);
            }
        }
        if (!lastChanged || end >= length) break;
        end = length;
    }
}

}  // namespace VORLIN
