// UserFile: the users quelmir-server accepts when started with --users FILE.
//
// The file holds one line per user, "user:hash", where hash is
// "pbkdf2-sha256$ITERATIONS$SALT$KEY": PBKDF2 with HMAC-SHA-256 (OpenSSL's
// libcrypto), a random 16-byte salt and a 32-byte key, both in lowercase
// hexadecimal. Empty lines and lines starting with "#" are ignored. A user
// name is not empty, at most 64 bytes, and holds no ":" and no control byte.
//
// load() reads the file once (the server keeps it for its lifetime);
// verify() compares in constant time and spends the same work on an
// unknown user as on a known one. addUser() adds or replaces one user's
// line, writing the file anew beside the old one and renaming it over it
// (mode 0600), so the file is never half written.
//
// Threads: a loaded UserFile is read-only and may be shared. load() and
// addUser() throw GeneralException with the reason.
#pragma once

#include <map>
#include <string>

class UserFile {
public:
    static constexpr int kIterations = 200000;
    static constexpr size_t kMaxUserLength = 64;

    static UserFile load(const std::string& path);
    bool verify(const std::string& user, const std::string& password) const;
    size_t size() const noexcept { return users_.size(); }

    static bool isValidUser(const std::string& user);
    // A new stored hash of the password with a fresh random salt.
    static std::string hashPassword(const std::string& password, int iterations = kIterations);
    // Whether the password matches a stored hash (false for a malformed one).
    static bool matches(const std::string& stored, const std::string& password);
    // PBKDF2-HMAC-SHA-256 of the password, as lowercase hexadecimal.
    static std::string derive(const std::string& password, const std::string& salt, int iterations,
                              size_t bytes = 32);
    static void addUser(const std::string& path, const std::string& user,
                        const std::string& password);

private:
    std::map<std::string, std::string> users_;  // user -> stored hash
};
