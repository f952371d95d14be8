// CharSeq: the storage of String (String adds no fields).
//
// 24 bytes. Short texts (up to 14 bytes) live inline and allocate nothing;
// longer ones live in an owned heap buffer whose capacity is exactly what
// was asked for plus the terminator. The token cursor, the extract cursor
// and the quote character are rarely used, so they live in a small side
// record allocated the first time one of them is set.
//
// Ownership: the heap buffer and the side record belong to the CharSeq.
// Copies (made by String) duplicate the bytes; nothing is ever shared.
// Not thread-safe.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace VORLIN {

class CharSeq {
public:
    static constexpr uint32_t kInlineCapacity = 15;  // bytes, terminator included
    static constexpr uint32_t kMaxCapacity = (1u << 30) - 1;

    CharSeq() noexcept { clearRep(); }
    ~CharSeq() { destroy(); }

    uint32_t length() const noexcept { return isHeap() ? heap_.len : uint8_t(inl_[15]); }
    // Bytes allocated, terminator included (15 for an inline text).
    uint32_t capacity() const noexcept {
        return isHeap() ? (heap_.capFlags & kCapMask) : kInlineCapacity;
    }
    const char* data() const noexcept { return isHeap() ? heap_.ptr : inl_; }
    char* data() noexcept { return isHeap() ? heap_.ptr : inl_; }
    bool isInline() const noexcept { return !isHeap(); }

    char quoteChar() const noexcept { return scan_ ? scan_->quote : 0; }
    void setQuoteChar(char q);

protected:
    struct ScanState {
        uint32_t tokenPos = 0;    // position + 1 of the token cursor; 0 = not started
        uint32_t extractPos = 0;  // position just after the last extract; 0 = none
        char quote = 0;
    };

    static constexpr uint32_t kHeapFlag = 1u << 31;
    static constexpr uint32_t kCapMask = (1u << 30) - 1;

    bool isHeap() const noexcept { return (heap_.capFlags & kHeapFlag) != 0; }
    void setLength(uint32_t n) noexcept {
        if (isHeap())
            heap_.len = n;
        else
            inl_[15] = char(n);
    }
    void clearRep() noexcept {
        std::memset(inl_, 0, sizeof inl_);
        scan_ = nullptr;
    }
    // Frees what is owned; leaves the representation undefined.
    void destroy() noexcept;
    // Makes room for a buffer of `cap` bytes (terminator included), zero
    // filled, keeping the first `keep` bytes of the old text. Length is set to
    // `keep`. Cursors are reset.
    void reallocate(uint32_t cap, uint32_t keep);
    // Resets both cursors (every change of the text does).
    void resetCursors() noexcept {
        if (scan_) scan_->tokenPos = scan_->extractPos = 0;
    }
    ScanState& scan();

    struct Heap {
        char* ptr;
        uint32_t len;
        uint32_t capFlags;  // capacity in the low 30 bits; the top bit marks heap mode
    };
    union {
        Heap heap_;
        char inl_[16];  // inl_[15] holds the inline length (0..14)
    };
    ScanState* scan_;

    static_assert(std::endian::native == std::endian::little, "CharSeq packs flags little-endian");
    static_assert(sizeof(Heap) == 16);
};

}  // namespace VORLIN
