#include "data/FileStream.h"

#include <sys/stat.h>

#include <string>
#include <utility>

#include "core/GeneralException.h"

namespace VORLIN {

namespace {

// fopen and friends need a NUL-terminated path; a path with a NUL inside
// would silently name a different (shorter) file, so it names none.
bool toPath(TextRef path, std::string& out) {
    if (path.view().find('\0') != std::string_view::npos) return false;
    out.assign(path.view());
    return true;
}

}  // namespace

FileStream::~FileStream() {
    close();
}

FileStream::FileStream(FileStream&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}

FileStream& FileStream::operator=(FileStream&& other) noexcept {
    if (this != &other) {
        close();
        file_ = std::exchange(other.file_, nullptr);
    }
    return *this;
}

bool FileStream::open(TextRef path, const char* mode) {
    close();
    std::string p;
    if (!mode || !toPath(path, p)) return false;
    file_ = std::fopen(p.c_str(), mode);
    return file_ != nullptr;
}

size_t FileStream::read(void* buffer, size_t n) {
    if (!file_) throw GeneralException("read: Invalid file");
    if (n == 0) return 0;
    return std::fread(buffer, 1, n, file_);
}

size_t FileStream::write(const void* buffer, size_t n) {
    if (!file_) throw GeneralException("write: Invalid file");
    if (n == 0) return 0;
    return std::fwrite(buffer, 1, n, file_);
}

int64_t FileStream::size() {
    if (!file_) throw GeneralException("count: Invalid file");
    off_t here = ftello(file_);
    if (here < 0 || fseeko(file_, 0, SEEK_END) != 0) return -1;
    off_t end = ftello(file_);
    fseeko(file_, here, SEEK_SET);
    return end < 0 ? -1 : int64_t(end);
}

bool FileStream::seek(int64_t offset, Origin origin) {
    if (!file_) throw GeneralException("seek: Invalid file");
    return fseeko(file_, off_t(offset), int(origin)) == 0;
}

bool FileStream::flush() {
    return file_ && std::fflush(file_) == 0;
}

void FileStream::close() noexcept {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool fileExists(TextRef path) {
    std::string p;
    struct stat st;
    return toPath(path, p) && ::stat(p.c_str(), &st) == 0;
}

bool removeFile(TextRef path) {
    std::string p;
    return toPath(path, p) && std::remove(p.c_str()) == 0;
}

}  // namespace VORLIN
