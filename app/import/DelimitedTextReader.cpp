#include "app/import/DelimitedTextReader.h"

#include <cstdio>
#include <fstream>
#include <sstream>

#include "core/GeneralException.h"

using VORLIN::GeneralException;
using VORLIN::String;

namespace {

// The code points of Windows-1252's bytes 0x80..0x9F; the five bytes it
// leaves undefined keep their C1 control code points.
constexpr char16_t kHigh1252[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void appendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out.push_back(char(cp));
    } else if (cp < 0x800) {
        out.push_back(char(0xC0 | (cp >> 6)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(char(0xE0 | (cp >> 12)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(char(0xF0 | (cp >> 18)));
        out.push_back(char(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(char(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(char(0x80 | (cp & 0x3F)));
    }
}

}  // namespace

const char* DelimitedTextReader::encodingName(Encoding e) noexcept {
    switch (e) {
        case Encoding::Utf8:
            return "UTF-8";
        case Encoding::Windows1252:
            return "Windows-1252";
        case Encoding::Utf16:
            return "UTF-16";
    }
    return "";
}

bool DelimitedTextReader::isUtf8(std::string_view bytes) noexcept {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    size_t i = 0;
    while (i < n) {
        unsigned char c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        size_t extra;
        unsigned cp;
        if (c >= 0xC2 && c <= 0xDF) {
            extra = 1;
            cp = c & 0x1F;
        } else if (c >= 0xE0 && c <= 0xEF) {
            extra = 2;
            cp = c & 0x0F;
        } else if (c >= 0xF0 && c <= 0xF4) {
            extra = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        if (n - i <= extra) return false;
        for (size_t k = 1; k <= extra; ++k) {
            if ((p[i + k] & 0xC0) != 0x80) return false;
            cp = (cp << 6) | (p[i + k] & 0x3F);
        }
        if ((extra == 2 && cp < 0x800) || (extra == 3 && cp < 0x10000) || cp > 0x10FFFF ||
            (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string DelimitedTextReader::windows1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    for (char ch : bytes) {
        auto c = static_cast<unsigned char>(ch);
        if (c < 0x80)
            out.push_back(ch);
        else if (c < 0xA0)
            appendUtf8(out, kHigh1252[c - 0x80]);
        else
            appendUtf8(out, c);
    }
    return out;
}

std::string DelimitedTextReader::utf16ToUtf8(std::string_view bytes, bool bigEndian) {
    std::string out;
    out.reserve(bytes.size());
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t units = bytes.size() / 2;
    auto unit = [&](size_t i) -> unsigned {
        return bigEndian ? (unsigned(p[2 * i]) << 8) | p[2 * i + 1]
                         : (unsigned(p[2 * i + 1]) << 8) | p[2 * i];
    };
    for (size_t i = 0; i < units; ++i) {
        unsigned u = unit(i);
        if (u >= 0xD800 && u <= 0xDBFF && i + 1 < units && unit(i + 1) >= 0xDC00 &&
            unit(i + 1) <= 0xDFFF) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unit(i + 1) - 0xDC00));
            ++i;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            appendUtf8(out, 0xFFFD);
        } else {
            appendUtf8(out, u);
        }
    }
    // An odd last byte cannot be a character.
    if (bytes.size() % 2 != 0) appendUtf8(out, 0xFFFD);
    return out;
}

void DelimitedTextReader::load(std::string bytes) {
    if (bytes.size() >= 2 &&
        (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0)) {
        encoding_ = Encoding::Utf16;
        text_ = utf16ToUtf8(std::string_view(bytes).substr(2), bytes[0] == '\xFE');
        rewind();
        return;
    }
    if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    if (isUtf8(bytes)) {
        encoding_ = Encoding::Utf8;
        text_ = std::move(bytes);
    } else {
        encoding_ = Encoding::Windows1252;
        text_ = windows1252ToUtf8(bytes);
    }
    rewind();
}

void DelimitedTextReader::loadFile(const String& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::ostringstream s;
    if (in) s << in.rdbuf();
    if (!in || in.bad()) {
        String message;
        message.format(kCannotOpen, path.c_str());
        throw GeneralException(message.toStdString());
    }
    load(std::move(s).str());
}

void DelimitedTextReader::rewind() noexcept {
    pos_ = 0;
    nextLine_ = 1;
    recordLine_ = 0;
    fields_.clear();
    ends_.clear();
}

std::string_view DelimitedTextReader::field(int i) const noexcept {
    if (i < 0 || size_t(i) >= ends_.size()) return {};
    size_t start = i == 0 ? 0 : ends_[size_t(i) - 1];
    return std::string_view(fields_).substr(start, ends_[size_t(i)] - start);
}

void DelimitedTextReader::endField(size_t start, bool delimited) {
    if (!delimited && fields_.size() - start == 4 && fields_.compare(start, 4, "null") == 0)
        fields_.resize(start);
    if (upper_) {
        for (size_t i = start; i < fields_.size(); ++i)
            if (fields_[i] >= 'a' && fields_[i] <= 'z') fields_[i] = char(fields_[i] - 'a' + 'A');
    }
    ends_.push_back(fields_.size());
}

bool DelimitedTextReader::next() {
    fields_.clear();
    ends_.clear();
    const size_t n = text_.size();
    const char* t = text_.data();
    // A run of line breaks is one break: blank lines give no record.
    while (pos_ < n && (t[pos_] == '\r' || t[pos_] == '\n')) {
        if (t[pos_] == '\n' || pos_ + 1 == n || t[pos_ + 1] != '\n') ++nextLine_;
        ++pos_;
    }
    if (pos_ >= n) return false;
    recordLine_ = nextLine_;
    for (;;) {
        size_t start = fields_.size();
        bool delimited = delimiter_ != 0 && pos_ < n && t[pos_] == delimiter_;
        if (delimited) {
            bool inside = false;
            while (pos_ < n) {
                char c = t[pos_];
                if (c == delimiter_) {
                    if (inside && pos_ + 1 < n && t[pos_ + 1] == delimiter_) {
                        fields_.push_back(c);
                        pos_ += 2;
                    } else {
                        inside = !inside;
                        ++pos_;
                    }
                    continue;
                }
                if (!inside && (c == separator_ || c == '\r' || c == '\n')) break;
                if (c == '\n' || (c == '\r' && (pos_ + 1 == n || t[pos_ + 1] != '\n'))) ++nextLine_;
                fields_.push_back(c);
                ++pos_;
            }
        } else {
            size_t end = pos_;
            while (end < n && t[end] != separator_ && t[end] != '\r' && t[end] != '\n')
                ++end;
            fields_.append(t + pos_, end - pos_);
            pos_ = end;
        }
        endField(start, delimited);
        if (pos_ < n && t[pos_] == separator_) {
            ++pos_;
            continue;
        }
        return true;
    }
}

void DelimitedTextReader::count(int& records, int& maxFields) {
    rewind();
    records = 0;
    maxFields = 0;
    while (next()) {
        ++records;
        if (fieldCount() > maxFields) maxFields = fieldCount();
    }
    rewind();
}

std::vector<String> DelimitedTextReader::fieldNames(bool header, int fieldCount) {
    std::vector<String> names;
    rewind();
    if (header && next()) {
        for (int i = 0; i < this->fieldCount(); ++i)
            names.emplace_back(field(i));
    }
    rewind();
    if (int(names.size()) < fieldCount) names.resize(size_t(fieldCount));
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i].isEmpty()) {
            names[i] = kFieldPrefix;
            names[i].appendInt(int64_t(i + 1));
        }
    }
    return names;
}
