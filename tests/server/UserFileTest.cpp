#include "server/UserFile.h"

#include <gtest/gtest.h>

#include <fstream>

#include "core/GeneralException.h"
#include "tests/server/ServerProcess.h"

using VORLIN::GeneralException;

// The published PBKDF2-HMAC-SHA-256 vectors ("password", "salt").
TEST(SqliteServerUserFile, Pbkdf2Vectors) {
    EXPECT_EQ(UserFile::derive("password", "salt", 1),
              "120fb6cffcf8b32c43e7225256c4f837a86548c92ccc35480805987cb70be17b");
    EXPECT_EQ(UserFile::derive("password", "salt", 4096),
              "c5e478d59288c841aa530db6845c4c8d962893a001ce4e11a4963873aa98134a");
}

TEST(SqliteServerUserFile, HashesAddAndVerify) {
    std::string a = UserFile::hashPassword("clave", 1000);
    std::string b = UserFile::hashPassword("clave", 1000);
    EXPECT_NE(a, b);  // a fresh salt each time
    EXPECT_TRUE(UserFile::matches(a, "clave"));
    EXPECT_FALSE(UserFile::matches(a, "clave "));
    EXPECT_FALSE(UserFile::matches("pbkdf2-sha256$1000$zz$00", "clave"));

    testing_server::TempDir dir;
    std::string path = dir.file("usuarios");
    UserFile::addUser(path, "ana", "uno");
    UserFile::addUser(path, "luis", "dos");
    UserFile::addUser(path, "ana", "tres");  // replaces ana's line
    UserFile users = UserFile::load(path);
    EXPECT_EQ(users.size(), 2u);
    EXPECT_TRUE(users.verify("ana", "tres"));
    EXPECT_FALSE(users.verify("ana", "uno"));
    EXPECT_TRUE(users.verify("luis", "dos"));
    EXPECT_FALSE(users.verify("pedro", "dos"));
    EXPECT_THROW(UserFile::addUser(path, "a:b", "x"), GeneralException);
    EXPECT_THROW(UserFile::addUser(path, "", "x"), GeneralException);

    std::ofstream(dir.file("malo")) << "ana:texto en claro\n";
    EXPECT_THROW(UserFile::load(dir.file("malo")), GeneralException);
    EXPECT_THROW(UserFile::load(dir.file("no existe")), GeneralException);
}
