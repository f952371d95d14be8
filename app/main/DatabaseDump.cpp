#include "app/main/DatabaseDump.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ostream>
#include <string>

#include "core/GeneralException.h"
#include "db/DbConnection.h"

using VORLIN::DbConnection;
using VORLIN::GeneralException;
using VORLIN::String;

namespace {

// What a dump is reserved at before the back end fills it.
constexpr uint32_t kInitialReserve = 1048576;

[[noreturn]] void failFile(const char* what, const std::string& path, int err) {
    throw GeneralException("DatabaseDump.write: " + std::string(what) + " " + path + ": " +
                           std::strerror(err));
}

// The mode a new file gets (what open() would give with 0666).
mode_t newFileMode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

}  // namespace

DatabaseDump::DatabaseDump(DbConnection& connection, std::ostream& standardOutput)
    : connection_(connection), standardOutput_(standardOutput) {}

String DatabaseDump::doneText() const {
    String text;
    text.format(kDoneFormat, static_cast<unsigned long long>(size_));
    return text;
}

bool DatabaseDump::run(const String& target) {
    error_ = String();
    size_ = 0;
    try {
        if (target.isEmpty()) throw GeneralException("DatabaseDump.write: falta el archivo");
        String text = String::withCapacity(kInitialReserve);
        connection_.exportSql(&text, true);
        if (target == kStandardOutput) {
            standardOutput_.write(text.c_str(), std::streamsize(text.length()));
            standardOutput_.flush();
            if (!standardOutput_)
                throw GeneralException(
                    "DatabaseDump.write: no se pudo escribir la salida estándar");
        } else {
            writeFile(target, text);
        }
        size_ = text.length();
        return true;
    } catch (const GeneralException& e) {
        error_ = String(e.message());
        return false;
    }
}

void DatabaseDump::writeFile(const String& target, const String& text) {
    const std::string path = target.toStdString();
    // The temporary file is made in the target's folder, so that the
    // rename is one step on one file system.
    std::string temp = path + ".XXXXXX";
    int fd = ::mkstemp(temp.data());
    if (fd < 0) failFile("no se pudo crear un archivo temporal junto a", path, errno);
    auto discard = [&](const char* what, int err) {
        ::close(fd);
        ::unlink(temp.c_str());
        failFile(what, path, err);
    };
    // The dump keeps the mode of the file it replaces, or a new file's mode.
    struct stat old;
    mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : newFileMode();
    if (::fchmod(fd, mode) != 0) discard("no se pudo preparar", errno);
    const char* p = text.c_str();
    size_t left = text.length();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            discard("no se pudo escribir", errno);
        }
        p += n;
        left -= size_t(n);
    }
    if (::fsync(fd) != 0) discard("no se pudo escribir", errno);
    if (::close(fd) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        failFile("no se pudo escribir", path, err);
    }
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        failFile("no se pudo reemplazar", path, err);
    }
}
