// Where the program keeps its files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/main/AppPaths.h"
#include "tests/support/TempFolder.h"

using namespace VORLIN;

namespace {

struct Env {
    std::string name;
    std::string old;
    bool had;
    Env(const char* n, const std::string& value) : name(n) {
        const char* v = std::getenv(n);
        had = v != nullptr;
        old = v ? v : "";
        ::setenv(n, value.c_str(), 1);
    }
    ~Env() {
        if (had)
            ::setenv(name.c_str(), old.c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }
};

bool isFolder(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

TEST(AppPaths, ThePerUserFolderFollowsXdgAndIsCreated) {
    testsupport::TempFolder tmp;
    {
        Env xdg("XDG_CONFIG_HOME", tmp.path + "/conf");
        EXPECT_EQ(AppPaths::userFolder(), (tmp.path + "/conf/VORLIN/").c_str());
        EXPECT_TRUE(isFolder(tmp.path + "/conf/VORLIN"));
    }
    {
        // A relative XDG_CONFIG_HOME is ignored, as the standard says.
        Env xdg("XDG_CONFIG_HOME", "relative");
        Env home("HOME", tmp.path + "/home");
        EXPECT_EQ(AppPaths::userFolder(), (tmp.path + "/home/.config/VORLIN/").c_str());
        EXPECT_TRUE(isFolder(tmp.path + "/home/.config/VORLIN"));
    }
}

TEST(AppPaths, TheStartFolderIsTheCurrentOneOrHomeWhenItIsGone) {
    testsupport::TempFolder tmp;
    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    const std::string work = tmp.path + "/work";
    ASSERT_EQ(::mkdir(work.c_str(), 0700), 0);
    ASSERT_EQ(::chdir(work.c_str()), 0);
    EXPECT_EQ(AppPaths::startFolder(), (work + "/").c_str());
    {
        Env home("HOME", tmp.path);
        ASSERT_EQ(::rmdir(work.c_str()), 0);
        EXPECT_EQ(AppPaths::startFolder(), (tmp.path + "/").c_str());
    }
    ASSERT_EQ(::chdir(saved), 0);
}
