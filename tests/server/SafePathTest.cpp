#include "server/SafePath.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include "tests/server/ServerProcess.h"

using VORLIN::String;

TEST(SqliteServerSafePath, DatabaseNames) {
    EXPECT_TRUE(SafePath::isValidName("ventas"));
    EXPECT_TRUE(SafePath::isValidName("ventas 2024.db"));
    EXPECT_TRUE(SafePath::isValidName("año"));
    for (const char* bad :
         {"", ".", "..", "../x", "a/b", "a\\b", "/etc/passwd", ".oculto", "C:\\x", "tab\there"})
        EXPECT_FALSE(SafePath::isValidName(bad)) << bad;
    EXPECT_FALSE(SafePath::isValidName(String(std::string("a\0b", 3))));
    EXPECT_FALSE(SafePath::isValidName(String(std::string(256, 'a'))));
}

TEST(SqliteServerSafePath, ExtensionRule) {
    EXPECT_TRUE(SafePath::hasDatabaseExtension("x.db"));
    EXPECT_FALSE(SafePath::hasDatabaseExtension("x"));
    EXPECT_FALSE(SafePath::hasDatabaseExtension(".db"));
    EXPECT_FALSE(SafePath::hasDatabaseExtension("x.dbx"));
}

TEST(SqliteServerSafePath, RelativePaths) {
    std::string out;
    EXPECT_TRUE(SafePath::resolve("/data", "a.txt", out));
    EXPECT_EQ(out, "/data/a.txt");
    EXPECT_TRUE(SafePath::resolve("/data", "docs\\2024/a.txt", out));
    EXPECT_EQ(out, "/data/docs/2024/a.txt");
    for (const char* bad :
         {"", "/a", "\\a", "a/../b", "..\\x", "a//b", "a/", "C:a", "c:\\x", "./a", "a/.b"})
        EXPECT_FALSE(SafePath::resolve("/data", bad, out)) << bad;
}

TEST(SqliteServerSafePath, Masks) {
    EXPECT_TRUE(SafePath::isValidMask(""));
    EXPECT_TRUE(SafePath::isValidMask("*.db"));
    EXPECT_FALSE(SafePath::isValidMask("../*"));
    EXPECT_FALSE(SafePath::isValidMask("a\\*"));
}

TEST(SqliteServerSafePath, LinksOutOfTheFolderAreCaught) {
    testing_server::TempDir dir;
    testing_server::TempDir outside;
    ASSERT_EQ(::symlink(outside.path().c_str(), dir.file("fuera").c_str()), 0);
    ASSERT_EQ(::mkdir(dir.file("dentro").c_str(), 0755), 0);
    EXPECT_TRUE(SafePath::staysInside(dir.path(), dir.file("dentro/nuevo.txt")));
    EXPECT_TRUE(SafePath::staysInside(dir.path(), dir.file("nuevo/sub/x.txt")));
    EXPECT_FALSE(SafePath::staysInside(dir.path(), dir.file("fuera/x.txt")));
    EXPECT_FALSE(SafePath::staysInside(dir.path(), dir.file("nada/../../x")));
    EXPECT_FALSE(SafePath::staysInside(dir.path(), "/etc/passwd"));
}

// Where names lead, with openat2 and with the part-by-part walk: links
// inside the folder count as inside (the walk follows none), links out of
// it and dangling ones as outside, "." and ".." parts as outside.
TEST(SqliteServerSafePath, LocateBeneathTheFolder) {
    testing_server::TempDir root, outside;
    std::string r = SafePath::realFolder(root.path());
    ASSERT_EQ(::mkdir((r + "/sub").c_str(), 0755), 0);
    std::ofstream(r + "/sub/a.txt") << "a";
    std::ofstream(outside.file("b.txt")) << "b";
    ASSERT_EQ(::symlink(outside.file("b.txt").c_str(), (r + "/out").c_str()), 0);
    ASSERT_EQ(::symlink(outside.file("none").c_str(), (r + "/dangling").c_str()), 0);
    ASSERT_EQ(::symlink("../..", (r + "/sub/up").c_str()), 0);
    ASSERT_EQ(::symlink("sub/a.txt", (r + "/in").c_str()), 0);
    using P = SafePath::Place;
    for (bool walk : {false, true}) {
        SafePath::forceWalk(walk);
        struct stat st {};
        EXPECT_EQ(SafePath::locate(r, r + "/sub/a.txt", &st), P::Inside) << walk;
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(SafePath::locate(r, r + "/sub/nada"), P::Missing) << walk;
        EXPECT_EQ(SafePath::locate(r, r + "/out"), P::Outside) << walk;
        EXPECT_EQ(SafePath::locate(r, r + "/dangling"), P::Outside) << walk;
        EXPECT_EQ(SafePath::locate(r, r + "/sub/up/x"), P::Outside) << walk;
        EXPECT_EQ(SafePath::locate(r, r + "/sub/../sub/a.txt"), P::Outside) << walk;
        EXPECT_EQ(SafePath::locate(r, "/etc/passwd"), P::Outside) << walk;
        EXPECT_EQ(SafePath::locate(r, r + "/in"), walk ? P::Outside : P::Inside) << walk;
        int fd = SafePath::openBeneath(r, r + "/out", O_RDONLY);
        EXPECT_EQ(fd, -1);
        fd = SafePath::openBeneath(r, r + "/sub/a.txt", O_RDONLY);
        EXPECT_GE(fd, 0);
        if (fd >= 0) ::close(fd);
    }
    SafePath::forceWalk(false);
}
