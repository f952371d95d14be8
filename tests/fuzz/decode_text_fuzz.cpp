// Fuzz target for the text-safe encoding of archives.
//
// Each input is used twice:
//  - as a text: the input up to its first NUL, in a block of exactly that
//    size plus the terminator, is decoded. Decoding must stop at the
//    terminator (the sanitizers see any read past it), decode at most one
//    byte per text byte, and what it decoded must encode and decode back
//    to itself;
//  - as data: the input bytes are encoded, and the text must hold no byte 0
//    or 39 before its terminator, have the length that encodeText(nullptr)
//    announced, and decode back to the input exactly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

#include "data/Archive.h"

using VORLIN::Archive;
using VORLIN::String;

namespace {

void check(bool ok, const char* what) {
    if (!ok) {
        std::fprintf(stderr, "decode_text_fuzz: %s\n", what);
        std::abort();
    }
}

std::vector<uint8_t> bytesOf(const Archive& a) {
    return std::vector<uint8_t>(a.buffer(), a.buffer() + a.dataSize());
}

// Encodes the archive into a block of exactly the announced size, checks the
// text and decodes it into a fresh archive.
std::vector<uint8_t> encodeDecode(const Archive& a) {
    uint32_t needed = a.encodeText(nullptr);
    check(needed >= 2, "encoded size below one byte and the terminator");
    std::unique_ptr<char[]> text(new char[needed]);
    uint32_t length = a.encodeText(text.get());
    check(length + 1 == needed, "encoded length differs from the announced size");
    check(text[length] == 0, "encoded text not terminated");
    for (uint32_t i = 0; i < length; ++i)
        check(text[i] != 0 && text[i] != '\'', "encoded text holds a 0 or a quote");

    String same = a.encodeText();
    check(same.length() == length && std::memcmp(same.c_str(), text.get(), length) == 0,
          "the two encodeText forms differ");

    Archive back(true);
    uint32_t n = back.decodeText(text.get());
    check(n == a.dataSize() && back.dataSize() == n, "decoded count differs");
    return bytesOf(back);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 20)) return 0;

    // The input as a text.
    size_t textLength = 0;
    while (textLength < size && data[textLength])
        ++textLength;
    std::unique_ptr<char[]> text(new char[textLength + 1]);
    std::memcpy(text.get(), data, textLength);
    text[textLength] = 0;

    // Decoding appends at the position: what was there before stays.
    Archive decoded(true);
    const uint8_t prefix[3] = {0, 39, 255};
    decoded.writeBytes(prefix, sizeof prefix);
    uint32_t n = decoded.decodeText(text.get());
    check(n + (textLength ? 1 : 0) <= textLength, "more bytes decoded than the text holds");
    check(decoded.dataSize() == sizeof prefix + n && decoded.position() == decoded.dataSize(),
          "decoded size or position");
    check(std::memcmp(decoded.buffer(), prefix, sizeof prefix) == 0, "decoding overwrote data");
    std::vector<uint8_t> plain(decoded.buffer() + sizeof prefix,
                               decoded.buffer() + sizeof prefix + n);
    Archive again;
    if (!plain.empty()) again.writeBytes(plain.data(), uint32_t(plain.size()));
    check(encodeDecode(again) == plain, "decoded text does not survive a round trip");

    // The input as data.
    Archive original;
    if (size) original.writeBytes(data, uint32_t(size));
    check(encodeDecode(original) == std::vector<uint8_t>(data, data + size),
          "encoded data does not decode back");
    return 0;
}
