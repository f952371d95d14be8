// ReplacingFile: a new file written under a temporary name in the folder
// of its final path and renamed over that path only when commit() finds
// every byte written: a failed save never leaves a partial file under the
// chosen name, nor touches a file that was there.
//
// Ownership: owns the temporary file; destroying it without commit
// removes it. Thread use: one thread. Throws nothing: create and commit
// answer whether they worked.
#pragma once

#include <string>

#include "core/String.h"
#include "data/FileStream.h"

class ReplacingFile {
public:
    ReplacingFile() = default;
    ~ReplacingFile();
    ReplacingFile(const ReplacingFile&) = delete;
    ReplacingFile& operator=(const ReplacingFile&) = delete;

    // Makes the temporary file beside `path`; with `open` it is also opened
    // for writing through stream() (writers that open files by name, like
    // libxlsxwriter, write to tempPath() instead).
    bool create(const VORLIN::String& path, bool open = true);
    VORLIN::FileStream& stream() noexcept { return stream_; }
    const std::string& tempPath() const noexcept { return temp_; }
    // Closes the stream, pushes the data to the disk and renames the
    // temporary file over the path.
    bool commit();
    // Removes the temporary file (nothing after a commit).
    void discard() noexcept;

private:
    VORLIN::FileStream stream_;
    std::string path_;
    std::string temp_;
};
