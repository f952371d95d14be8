#include "data/Archive.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>

#include "core/GeneralException.h"

namespace VORLIN {

namespace {

constexpr uint64_t kMaxSize = std::numeric_limits<uint32_t>::max();

// Bytes of the text-safe encoding that need the escape byte 1: the offset
// moves every data byte d to d - b, and the differences 0 (terminator),
// 39 (single quote) and 1 (the escape itself) cannot be written as they are.
constexpr uint8_t kEscape = 1;
constexpr uint8_t kQuote = 39;

inline bool needsEscape(uint8_t k) {
    return k == 0 || k == kEscape || k == kQuote;
}

uint32_t load32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

}  // namespace

// ---------------------------------------------------------------- lifecycle

Archive::Archive(bool loading, uint32_t growthStep)
    : growthStep_(growthStep), loading_(loading ? 1 : 0) {}

Archive::~Archive() {
    if (buffer_) free(buffer_);
}

// ------------------------------------------------------------------ storage

uint8_t* Archive::alloc(uint32_t n) {
    // malloc(0) may legally return null; a block of 1 byte keeps "null means
    // out of memory" true.
    void* p = std::malloc(n ? n : 1);
    if (!p)
        throw GeneralException::format("Archive.Alloc: noy hay memoria suficiente (%d)", int(n));
    return static_cast<uint8_t*>(p);
}

uint8_t* Archive::realloc(uint8_t* block, uint32_t n) {
    void* p = std::realloc(block, n ? n : 1);
    if (!p)
        throw GeneralException::format("Archive.Realloc: noy hay memoria suficiente (%d->%d)",
                                       int(capacity_), int(n));
    return static_cast<uint8_t*>(p);
}

void Archive::copyBytes(void* dst, const void* src, uint32_t n) {
    if (!dst || !src) throw GeneralException("Archive: buffer nulo");
    std::memcpy(dst, src, n);
}

void Archive::free(uint8_t* block) {
    if (!block) throw GeneralException("Archive: Free invalid buffer");
    std::free(block);
}

void Archive::grow(uint32_t n) {
    if (n <= capacity_) return;
    if (growthStep_ == 0) throw GeneralException("Este archivo no puede crecer");
    // At least the growth step beyond what is asked for; a large archive
    // (a data set of a million rows) also grows by half its capacity, so
    // that writing it piece by piece copies the buffer a few times rather
    // than once per step.
    uint64_t wanted = std::max<uint64_t>(uint64_t(n) + growthStep_, uint64_t(capacity_) * 3 / 2);
    uint32_t newCapacity = uint32_t(wanted > kMaxSize ? kMaxSize : wanted);
    // alloc and realloc throw their own texts; a replacement that reports
    // failure with a null block instead gets the text of the growth.
    uint8_t* block = buffer_ ? realloc(buffer_, newCapacity) : alloc(newCapacity);
    if (!block)
        throw GeneralException::format("Archive.Grow: noy hay memoria suficiente (%d)", int(n));
    // The new part is zeroed: setDataSize may declare bytes that nobody
    // wrote, and they must read as zeros rather than as old heap contents.
    std::memset(block + capacity_, 0, newCapacity - capacity_);
    buffer_ = block;
    capacity_ = newCapacity;
}

void Archive::reset(uint32_t capacity) {
    if (growthStep_ == 0 && !buffer_ && capacity > 0) {
        // A fixed-size archive gets its one buffer here, of exactly the
        // capacity asked for; from then on it can only be written within it.
        buffer_ = alloc(capacity);
        std::memset(buffer_, 0, capacity);
        capacity_ = capacity;
    } else {
        grow(capacity);
    }
    dataSize_ = 0;
    position_ = 0;
}

void Archive::setDataSize(uint32_t n) {
    // The data size never passes the capacity, so reads stay inside the buffer.
    grow(n);
    dataSize_ = n;
    position_ = 0;
}

void Archive::releaseBuffer() {
    if (buffer_) free(buffer_);
    buffer_ = nullptr;
    dataSize_ = position_ = capacity_ = 0;
}

void Archive::checkStoring() const {
    if (loading_) throw GeneralException("Archive: is loading");
}

void Archive::checkLoading() const {
    if (!loading_) throw GeneralException("Archive: is storing");
}

void Archive::requireBytes(uint64_t n) const {
    if (n > remaining()) throw GeneralException("Archive: end of file");
}

void Archive::reserveFor(uint64_t n) {
    uint64_t end = uint64_t(position_) + n;
    if (end > kMaxSize)
        throw GeneralException::format("Archive.Grow: noy hay memoria suficiente (%d)", int(end));
    grow(uint32_t(end));
}

void Archive::requireCount(int64_t count, uint32_t minBytes) const {
    if (count < 0) throw GeneralException("Archive: end of file");
    // Compared by division: count * minBytes can exceed even 64 bits.
    if (minBytes > 0 && uint64_t(count) > remaining() / minBytes)
        throw GeneralException("Archive: end of file");
}

// --------------------------------------------------------------- raw bytes

Archive& Archive::writeBytes(const void* src, uint32_t n) {
    if (n == 0) return *this;
    reserveFor(n);
    copyBytes(buffer_ + position_, src, n);
    position_ += n;
    // The data size is the high-water mark: rewinding to patch a value
    // written earlier does not cut off what follows it.
    if (position_ > dataSize_) dataSize_ = position_;
    return *this;
}

uint32_t Archive::readBytes(void* dst, uint32_t n) {
    if (n == 0) return 0;
    if (!buffer_) throw GeneralException("Archive: No ha sido inicializado");
    uint32_t count = remaining();
    if (count == 0) return 0;
    if (n < count) count = n;
    copyBytes(dst, buffer_ + position_, count);
    position_ += count;
    return count;
}

// ------------------------------------------------------------------ writing

Archive& Archive::writeInt(int32_t v) {
    checkStoring();
    return writeBytes(&v, sizeof v);
}

Archive& Archive::writeByte(uint8_t v) {
    checkStoring();
    return writeBytes(&v, 1);
}

Archive& Archive::writeString(const String& s) {
    checkStoring();
    uint32_t n = s.length();
    // Length and text go in together or not at all.
    reserveFor(uint64_t(sizeof n) + n);
    writeBytes(&n, sizeof n);
    return writeBytes(s.c_str(), n);
}

Archive& Archive::writeItem(const DataItem& item) {
    checkStoring();
    int tag = item.type();
    uint8_t tagByte = uint8_t(tag);
    if (DataItem::isTextTag(tag)) {
        const String& text = item.text();
        uint32_t n = text.length();
        reserveFor(1 + uint64_t(sizeof n) + n);
        writeBytes(&tagByte, 1);
        writeBytes(&n, sizeof n);
        return writeBytes(text.c_str(), n);
    }
    // The largest image (currency) is 24 bytes.
    uint8_t image[32];
    uint32_t size = uint32_t(DataItem::binarySize(tag));
    item.writeBinary(image);
    reserveFor(1 + uint64_t(size));
    writeBytes(&tagByte, 1);
    return writeBytes(image, size);
}

Archive& Archive::writeItemOrNull(const DataItem* item) {
    if (item) return writeItem(*item);
    return writeByte(DataItem::TNull);
}

// ------------------------------------------------------------------ reading
//
// Every reader checks the whole value against the data size before it moves
// the position, so a failed read leaves the archive where it was.

int32_t Archive::readInt() {
    checkLoading();
    int32_t v;
    requireBytes(sizeof v);
    readBytes(&v, sizeof v);
    return v;
}

uint8_t Archive::readByte() {
    checkLoading();
    uint8_t v;
    requireBytes(1);
    readBytes(&v, 1);
    return v;
}

uint32_t Archive::peekStringLength(uint32_t at) const {
    requireBytes(uint64_t(at) + 4);
    uint32_t n = load32(buffer_ + position_ + at);
    // The length comes from the input: it is checked against the bytes that
    // are really there before any text is allocated for it. A negative
    // length reads as a huge unsigned one and fails here too.
    requireBytes(uint64_t(at) + 4 + n);
    return n;
}

String Archive::readString() {
    checkLoading();
    uint32_t n = peekStringLength(0);
    String s(TextRef(reinterpret_cast<const char*>(buffer_ + position_ + 4), n));
    position_ += 4 + n;
    return s;
}

void Archive::readItem(DataItem& item) {
    checkLoading();
    requireBytes(1);
    int tag = buffer_[position_];
    if (tag >= DataItem::kTypeCount)
        throw GeneralException::format("Archive: tipo de dato invalido (%d)", tag);
    const uint8_t* body = buffer_ + position_ + 1;
    if (DataItem::isTextTag(tag)) {
        uint32_t n = peekStringLength(1);
        TextRef text(reinterpret_cast<const char*>(body + 4), n);
        if (tag == DataItem::TString) {
            item.setString(text);
        } else if (tag == DataItem::TBin) {
            item.setBin(text);
        } else {
            // A font item has no setter that takes its text as it is: the
            // text goes through the font's parser, which gives back the same
            // text for every font text a writer produces.
            Font font;
            font.fromString(String(text));
            item.setFont(font);
        }
        position_ += 1 + 4 + n;
        return;
    }
    uint32_t size = uint32_t(DataItem::binarySize(tag));
    requireBytes(1 + uint64_t(size));
    item.readBinary(tag, body);
    position_ += 1 + size;
}

// ---------------------------------------------------------- text encoding

uint32_t Archive::encodeText(char* out) const {
    if (dataSize_ == 0) {
        if (!out) return 2;
        out[0] = 'x';
        out[1] = 0;
        return 1;
    }
    uint32_t counts[256] = {};
    for (uint32_t i = 0; i < dataSize_; ++i)
        ++counts[buffer_[i]];

    // The offset b is chosen so that as few data bytes as possible land on
    // the three differences that need an escape; b itself is the first byte
    // of the text, so it can be neither 0 nor the quote.
    uint32_t best = 1;
    uint64_t bestCost = std::numeric_limits<uint64_t>::max();
    for (uint32_t b = 1; b <= 255; ++b) {
        if (b == kQuote) continue;
        uint64_t cost = uint64_t(counts[b]) + counts[(b + 1) & 255] + counts[(b + kQuote) & 255];
        if (cost < bestCost) {
            bestCost = cost;
            best = b;
            if (cost == 0) break;
        }
    }
    // The offset byte, the data bytes, one escape per costly byte.
    uint64_t length = 1 + uint64_t(dataSize_) + bestCost;
    if (length + 1 > kMaxSize)
        throw GeneralException::format("Archive.Grow: noy hay memoria suficiente (%d)",
                                       int(dataSize_));
    if (!out) return uint32_t(length + 1);

    uint8_t* p = reinterpret_cast<uint8_t*>(out);
    const uint8_t b = uint8_t(best);
    *p++ = b;
    for (uint32_t i = 0; i < dataSize_; ++i) {
        uint8_t k = uint8_t(buffer_[i] - b);
        if (needsEscape(k)) {
            *p++ = kEscape;
            *p++ = uint8_t(k + 1);  // 1, 2 or 40
        } else {
            *p++ = k;
        }
    }
    *p = 0;
    return uint32_t(length);
}

String Archive::encodeText() const {
    uint32_t needed = encodeText(nullptr);
    // A string of needed - 1 bytes has room for the text and its terminator.
    String s(needed - 1, ' ');
    encodeText(s.buffer());
    return s;
}

uint32_t Archive::decodeText(const char* text) {
    if (!text || !text[0]) return 0;
    const uint8_t* start = reinterpret_cast<const uint8_t*>(text);
    const uint8_t b = start[0];

    // First pass: count the data bytes, so the archive grows once. An escape
    // byte right before the terminator is malformed: decoding ends there
    // without reading past the terminator.
    uint64_t count = 0;
    for (const uint8_t* p = start + 1; *p; ++p) {
        if (*p == kEscape && !*++p) break;
        ++count;
    }
    if (count == 0) return 0;
    reserveFor(count);

    uint8_t* out = buffer_ + position_;
    for (const uint8_t* p = start + 1; *p; ++p) {
        if (*p == kEscape) {
            if (!*++p) break;
            *out++ = uint8_t(b + *p - 1);
        } else {
            *out++ = uint8_t(b + *p);
        }
    }
    position_ += uint32_t(count);
    if (position_ > dataSize_) dataSize_ = position_;
    return uint32_t(count);
}

}  // namespace VORLIN
