#include "server/SafePath.h"

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

using VORLIN::String;

namespace {

bool isValidPart(std::string_view part) {
    if (part.empty() || part.size() > SafePath::kMaxNameLength) return false;
    if (part[0] == '.') return false;
    for (char c : part) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || c == '/' || c == '\\') return false;
    }
    return true;
}

}  // namespace

bool SafePath::isValidName(const String& name) {
    std::string_view v = name.view();
    // "C:name" would name a drive on the clients' platform, as in paths.
    return isValidPart(v) && !(v.size() >= 2 && v[1] == ':');
}

bool SafePath::isValidMask(const String& mask) {
    for (char c : mask.view()) {
        unsigned char u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127 || c == '/' || c == '\\') return false;
    }
    return mask.length() <= kMaxNameLength;
}

bool SafePath::hasDatabaseExtension(const String& name) {
    std::string_view v = name.view();
    return v.size() > 3 && v.substr(v.size() - 3) == ".db";
}

bool SafePath::resolve(const std::string& root, const String& relative, std::string& out) {
    std::string_view v = relative.view();
    if (v.empty()) return false;
    // A drive letter ("C:...") would be absolute on the clients' platform.
    if (v.size() >= 2 && v[1] == ':') return false;
    std::vector<std::string_view> parts;
    size_t start = 0;
    for (size_t i = 0; i <= v.size(); ++i) {
        if (i == v.size() || v[i] == '/' || v[i] == '\\') {
            // An empty part is a leading separator (absolute path), a
            // doubled one or a trailing one: all refused.
            std::string_view part = v.substr(start, i - start);
            if (!isValidPart(part)) return false;
            parts.push_back(part);
            start = i + 1;
        }
    }
    out = root;
    for (std::string_view part : parts) {
        if (out.empty() || out.back() != '/') out.push_back('/');
        out.append(part);
    }
    return true;
}

std::string SafePath::realFolder(const std::string& folder) {
    char buffer[PATH_MAX];
    if (!::realpath(folder.c_str(), buffer)) return std::string();
    return buffer;
}

bool SafePath::staysInside(const std::string& root, const std::string& path) {
    std::string realRoot = realFolder(root);
    if (realRoot.empty()) return false;
    // The nearest ancestor that exists decides where the path really is:
    // the parts below it do not exist yet and cannot be links.
    std::string probe = path;
    std::string real;
    for (;;) {
        real = realFolder(probe);
        if (!real.empty()) break;
        size_t slash = probe.find_last_of('/');
        if (slash == std::string::npos || slash == 0) return false;
        // A ".." below a missing folder would be resolved by the system
        // against that folder only if it existed; it is never accepted.
        std::string_view part(probe.data() + slash + 1, probe.size() - slash - 1);
        if (part == ".." || part == ".") return false;
        probe.resize(slash);
    }
    if (real == realRoot) return true;
    std::string prefix = realRoot.back() == '/' ? realRoot : realRoot + "/";
    return real.compare(0, prefix.size(), prefix) == 0;
}
