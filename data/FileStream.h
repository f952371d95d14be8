// FileStream: a thin wrapper of one standard-library FILE*.
//
// Used wherever the framework reads or writes a whole file (the text export
// of row sets, the XML loader and writer). It opens, creates, reads, writes,
// measures and seeks; nothing is buffered beyond what stdio buffers.
//
// Ownership: the stream owns its handle and closes it in the destructor
// (and before opening another file). It cannot be copied; moving hands the
// handle over and leaves the source closed.
// Thread use: one thread at a time per stream.
// Throws GeneralException when an operation that needs a file is called
// without one: "read: Invalid file", "write: Invalid file",
// "count: Invalid file", "seek: Invalid file". Opening never throws (it
// returns whether it worked); flush and close do nothing without a file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "core/String.h"

namespace VORLIN {

class FileStream {
public:
    // The origin of a seek, as fseek understands it.
    enum class Origin { Begin = SEEK_SET, Current = SEEK_CUR, End = SEEK_END };

    FileStream() noexcept = default;
    ~FileStream();
    FileStream(const FileStream&) = delete;
    FileStream& operator=(const FileStream&) = delete;
    FileStream(FileStream&& other) noexcept;
    FileStream& operator=(FileStream&& other) noexcept;

    // Opens `path` with an fopen mode text ("rb", "wb", "ab", ...), closing
    // any file this stream had open first. Returns whether it worked. A path
    // holding a NUL byte cannot name a file and fails.
    bool open(TextRef path, const char* mode);
    // Opens `path` for writing ("wb"): created, or truncated when it exists.
    bool create(TextRef path) { return open(path, "wb"); }
    bool isOpen() const noexcept { return file_ != nullptr; }

    // Reads up to `n` bytes into `buffer` and returns how many arrived (fewer
    // at the end of the file or on a read error).
    size_t read(void* buffer, size_t n);
    // Writes the `n` bytes of `buffer`; returns how many were written (fewer
    // only when the system refused, for example on a full disk).
    size_t write(const void* buffer, size_t n);
    size_t write(TextRef text) { return write(text.data(), text.size()); }
    // The file length in bytes: seeks to the end, reads the position and
    // seeks back. -1 when the file cannot be positioned (a pipe, a terminal).
    int64_t size();
    // Moves the read/write position; returns whether it worked.
    bool seek(int64_t offset, Origin origin = Origin::Begin);

    // Pushes what stdio buffered to the system; returns whether it worked
    // (false without a file).
    bool flush();
    // Closes the file; nothing when none is open.
    void close() noexcept;

private:
    std::FILE* file_ = nullptr;
};

// Whether the status of `path` can be read (it exists and is reachable).
bool fileExists(TextRef path);
// Deletes the file `path`; returns whether it worked.
bool removeFile(TextRef path);

}  // namespace VORLIN
