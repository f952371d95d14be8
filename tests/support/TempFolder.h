// TempFolder: a folder made with mkdtemp for one test and removed, with
// everything in it, when the test ends (write permission is given back
// first, for tests that take it away).
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace testsupport {

struct TempFolder {
    explicit TempFolder(const char* prefix = "quelmir") {
        std::string tmpl = std::string("/tmp/") + prefix + "-XXXXXX";
        const char* made = ::mkdtemp(tmpl.data());
        EXPECT_NE(made, nullptr);
        path = made ? made : "/tmp";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::permissions(path, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    std::string file(const std::string& name) const { return path + "/" + name; }
    // The names of the files in the folder, sorted.
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(path))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    std::string path;
};

}  // namespace testsupport
