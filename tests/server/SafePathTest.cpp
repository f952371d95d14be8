#include "server/SafePath.h"

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
