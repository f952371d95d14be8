// Archive: the framework's binary serializer. A growable memory buffer with
// a read/write position and one direction, storing (writing) or loading
// (reading). Values, rows and data sets write themselves into it and read
// themselves back; the remote protocol sends archives as message bodies, so
// the byte layout is also a wire format: integers are 4 bytes little-endian,
// a String is a 4-byte length and its bytes, a DataItem is a tag byte then
// its text (string, bin, font) or its fixed-size storage image.
//
// Reads never go past the data size: a read that would throws
// "Archive: end of file" and leaves the position unchanged. Input comes from
// files and the network, so every length read is checked against the bytes
// left before anything is allocated (see remaining()).
//
// Ownership: the archive owns its buffer. Not thread-safe: an archive
// belongs to one thread at a time. Every failure is a GeneralException.
#pragma once

#include <cstdint>

#include "core/DataItem.h"
#include "core/String.h"

namespace VORLIN {

class Archive {
public:
    // growthStep: bytes added beyond the requested size when the buffer
    // grows; 0 makes a fixed-size archive that cannot grow.
    explicit Archive(bool loading = false, uint32_t growthStep = 4096);
    virtual ~Archive();
    Archive(const Archive&) = delete;
    Archive& operator=(const Archive&) = delete;

    bool isLoading() const noexcept { return loading_ != 0; }
    void setLoading(bool loading) noexcept { loading_ = loading ? 1 : 0; }

    // Grows to at least `capacity`; data size and position 0.
    void reset(uint32_t capacity);
    // Position 0, data size n (after the caller filled the buffer).
    void setDataSize(uint32_t n);
    void rewind() noexcept { position_ = 0; }
    // Frees the buffer; size, position and capacity 0.
    void releaseBuffer();
    uint8_t* buffer() noexcept { return buffer_; }
    const uint8_t* buffer() const noexcept { return buffer_; }
    uint32_t dataSize() const noexcept { return dataSize_; }
    uint32_t position() const noexcept { return position_; }
    uint32_t capacity() const noexcept { return capacity_; }
    // Bytes between the position and the data size.
    uint32_t remaining() const noexcept {
        return position_ < dataSize_ ? dataSize_ - position_ : 0;
    }

    // Grows to position + n, copies, advances; the data size follows.
    Archive& writeBytes(const void* src, uint32_t n);
    // Reads min(n, remaining) bytes; returns the count. Without a buffer
    // throws "Archive: No ha sido inicializado".
    uint32_t readBytes(void* dst, uint32_t n);

    // Storing only ("Archive: is loading" otherwise).
    Archive& writeInt(int32_t v);
    Archive& writeByte(uint8_t v);
    Archive& writeString(const String& s);
    Archive& writeItem(const DataItem& item);
    Archive& writeItemOrNull(const DataItem* item);

    // Loading only ("Archive: is storing" otherwise); "Archive: end of file"
    // when the value would end past the data size.
    int32_t readInt();
    uint8_t readByte();
    String readString();
    // A tag byte above 19 throws "Archive: tipo de dato invalido (<tag>)". A
    // font item's text goes through the font parser (see Archive.cpp).
    void readItem(DataItem& item);
    // Checks that `count` values of at least `minBytes` each can still be
    // read, before a reader allocates room for them: a count that cannot fit
    // in the bytes left throws "Archive: end of file".
    void requireCount(int64_t count, uint32_t minBytes) const;

    // The text-safe encoding of the data (no byte 0 or 39 before the
    // terminator). With out == nullptr only the needed size (terminator
    // included) is returned; otherwise the text is written to `out`, which
    // must hold that many bytes, and its length is returned.
    uint32_t encodeText(char* out) const;
    String encodeText() const;
    // Decodes `text` into the archive at its position (growing it) and
    // returns the number of bytes decoded.
    uint32_t decodeText(const char* text);

protected:
    virtual uint8_t* alloc(uint32_t n);
    virtual uint8_t* realloc(uint8_t* block, uint32_t n);
    virtual void copyBytes(void* dst, const void* src, uint32_t n);
    virtual void free(uint8_t* block);
    // Makes the capacity at least n.
    virtual void grow(uint32_t n);

private:
    void checkStoring() const;
    void checkLoading() const;
    // Throws "Archive: end of file" unless n bytes remain to be read.
    void requireBytes(uint64_t n) const;
    // Grows so that n more bytes fit at the position, before anything is
    // written: a write that cannot fit changes nothing.
    void reserveFor(uint64_t n);
    // The length of the String image that starts `at` bytes past the
    // position, checked against the bytes left (position unchanged).
    uint32_t peekStringLength(uint32_t at) const;

    uint32_t growthStep_;
    uint32_t dataSize_ = 0;
    uint32_t position_ = 0;
    uint32_t capacity_ = 0;
    uint8_t* buffer_ = nullptr;
    uint8_t loading_;
};

}  // namespace VORLIN
