#include "server/UserFile.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "core/GeneralException.h"

using VORLIN::GeneralException;

namespace {

constexpr const char* kScheme = "pbkdf2-sha256";

std::string hex(const unsigned char* bytes, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(n * 2);
    for (size_t i = 0; i < n; ++i) {
        out.push_back(digits[bytes[i] >> 4]);
        out.push_back(digits[bytes[i] & 15]);
    }
    return out;
}

bool unhex(const std::string& text, std::string& out) {
    if (text.size() % 2) return false;
    out.clear();
    for (size_t i = 0; i < text.size(); i += 2) {
        char pair[3] = {text[i], text[i + 1], 0};
        char* end = nullptr;
        long v = std::strtol(pair, &end, 16);
        if (end != pair + 2) return false;
        out.push_back(char(v));
    }
    return true;
}

// scheme$iterations$salt$key
bool split(const std::string& stored, int& iterations, std::string& salt, std::string& key) {
    std::vector<std::string> parts;
    std::stringstream in(stored);
    std::string part;
    while (std::getline(in, part, '$'))
        parts.push_back(part);
    if (parts.size() != 4 || parts[0] != kScheme) return false;
    char* end = nullptr;
    long n = std::strtol(parts[1].c_str(), &end, 10);
    if (*end != '\0' || n < 1 || n > 100000000) return false;
    iterations = int(n);
    std::string keyBytes;
    if (!unhex(parts[2], salt) || salt.empty() || parts[3].size() < 32 ||
        !unhex(parts[3], keyBytes))
        return false;
    // Compared as lowercase hexadecimal, as derive() writes it.
    key = hex(reinterpret_cast<const unsigned char*>(keyBytes.data()), keyBytes.size());
    return true;
}

}  // namespace

bool UserFile::isValidUser(const std::string& user) {
    if (user.empty() || user.size() > kMaxUserLength) return false;
    for (char c : user)
        if (c == ':' || static_cast<unsigned char>(c) < 32 || c == 127) return false;
    return true;
}

std::string UserFile::derive(const std::string& password, const std::string& salt, int iterations,
                             size_t bytes) {
    std::vector<unsigned char> key(bytes);
    if (PKCS5_PBKDF2_HMAC(password.data(), int(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.data()), int(salt.size()),
                          iterations, EVP_sha256(), int(bytes), key.data()) != 1)
        throw GeneralException("quelmir-server: PBKDF2 failed");
    return hex(key.data(), key.size());
}

std::string UserFile::hashPassword(const std::string& password, int iterations) {
    unsigned char salt[16];
    if (RAND_bytes(salt, sizeof salt) != 1)
        throw GeneralException("quelmir-server: no random bytes for the salt");
    std::string saltBytes(reinterpret_cast<const char*>(salt), sizeof salt);
    return std::string(kScheme) + "$" + std::to_string(iterations) + "$" + hex(salt, sizeof salt) +
           "$" + derive(password, saltBytes, iterations);
}

bool UserFile::matches(const std::string& stored, const std::string& password) {
    int iterations = 0;
    std::string salt, key;
    if (!split(stored, iterations, salt, key)) return false;
    std::string got = derive(password, salt, iterations, key.size() / 2);
    return got.size() == key.size() && CRYPTO_memcmp(got.data(), key.data(), key.size()) == 0;
}

UserFile UserFile::load(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        throw GeneralException::format("quelmir-server: no se pudo leer el archivo de usuarios %s",
                                       path.c_str());
    UserFile file;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        size_t colon = line.find(':');
        int iterations = 0;
        std::string salt, key;
        if (colon == std::string::npos || !isValidUser(line.substr(0, colon)) ||
            !split(line.substr(colon + 1), iterations, salt, key))
            throw GeneralException::format("quelmir-server: %s, linea %d: se espera usuario:hash",
                                           path.c_str(), number);
        file.users_[line.substr(0, colon)] = line.substr(colon + 1);
    }
    return file;
}

bool UserFile::verify(const std::string& user, const std::string& password) const {
    auto it = users_.find(user);
    if (it == users_.end()) {
        // The same work as for a user that exists: the answer's delay tells
        // nothing about which names are there.
        static const std::string decoy = hashPassword("", kIterations);
        matches(decoy, password);
        return false;
    }
    return matches(it->second, password);
}

void UserFile::addUser(const std::string& path, const std::string& user,
                       const std::string& password) {
    if (!isValidUser(user))
        throw GeneralException::format("quelmir-server: nombre de usuario invalido: '%s'",
                                       user.c_str());
    std::vector<std::string> lines;
    {
        std::ifstream in(path);
        std::string line;
        while (in && std::getline(in, line)) {
            if (line.compare(0, user.size() + 1, user + ":") == 0) continue;
            lines.push_back(line);
        }
    }
    lines.push_back(user + ":" + hashPassword(password));
    std::string temp = path + ".new-" + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        throw GeneralException::format("quelmir-server: no se pudo escribir %s: %s", temp.c_str(),
                                       std::strerror(errno));
    std::string text;
    for (const std::string& l : lines)
        text += l + "\n";
    size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) done += size_t(n);
    }
    ok = ok && ::fsync(fd) == 0;
    int e = errno;
    ::close(fd);
    if (!ok || ::rename(temp.c_str(), path.c_str()) != 0) {
        if (ok) e = errno;
        ::unlink(temp.c_str());
        throw GeneralException::format("quelmir-server: no se pudo escribir %s: %s", path.c_str(),
                                       std::strerror(e));
    }
}
