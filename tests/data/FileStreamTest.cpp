#include "data/FileStream.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>

#include "core/GeneralException.h"

using VORLIN::FileStream;
using VORLIN::GeneralException;

namespace {

namespace fs = std::filesystem;

// Each test works in a fresh folder of its own under the system's temporary
// folder, removed afterwards.
class FileStreamTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir_ = fs::temp_directory_path() /
               ("quelmir_fs_" + std::to_string(::getpid()) + "_" + info->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const char* name) const { return (dir_ / name).string(); }

    std::string readAll(const std::string& p) {
        FileStream f;
        EXPECT_TRUE(f.open(p, "rb"));
        std::string out(size_t(f.size()), '\0');
        EXPECT_EQ(f.read(out.data(), out.size()), out.size());
        return out;
    }

    void writeAll(const std::string& p, std::string_view bytes) {
        FileStream f;
        ASSERT_TRUE(f.create(p));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }

    fs::path dir_;
};

void expectThrows(const std::function<void()>& call, const char* message) {
    try {
        call();
        ADD_FAILURE() << "no exception, expected " << message;
    } catch (const GeneralException& e) {
        EXPECT_EQ(e.message(), message);
    }
}

// ------------------------------------------------------------ without a file

TEST(FileStreamClosed, OperationsThatNeedAFileThrowTheirTexts) {
    FileStream f;
    char buf[4];
    EXPECT_FALSE(f.isOpen());
    expectThrows([&] { f.read(buf, sizeof buf); }, "read: Invalid file");
    expectThrows([&] { f.write(buf, sizeof buf); }, "write: Invalid file");
    expectThrows([&] { f.size(); }, "count: Invalid file");
    expectThrows([&] { f.seek(0); }, "seek: Invalid file");
}

TEST(FileStreamClosed, FlushAndCloseDoNothing) {
    FileStream f;
    EXPECT_FALSE(f.flush());
    f.close();
    f.close();
    EXPECT_FALSE(f.isOpen());
}

// ---------------------------------------------------------- open and create

TEST_F(FileStreamTest, OpeningAMissingFileFails) {
    FileStream f;
    EXPECT_FALSE(f.open(path("missing.bin"), "rb"));
    EXPECT_FALSE(f.isOpen());
    expectThrows([&] { f.size(); }, "count: Invalid file");
}

TEST_F(FileStreamTest, APathWithANulByteNamesNoFile) {
    writeAll(path("a"), "x");
    std::string withNul = path("a") + std::string("\0b", 2);
    FileStream f;
    EXPECT_FALSE(f.open(withNul, "rb"));
    EXPECT_FALSE(f.create(withNul));
    EXPECT_FALSE(VORLIN::fileExists(withNul));
    EXPECT_FALSE(VORLIN::removeFile(withNul));
    EXPECT_TRUE(VORLIN::fileExists(path("a")));
}

TEST_F(FileStreamTest, WrittenBytesReadBackIncludingNul) {
    const std::string bytes("hola\0mundo\xff", 11);
    writeAll(path("data.bin"), bytes);
    EXPECT_EQ(readAll(path("data.bin")), bytes);
}

TEST_F(FileStreamTest, CreateTruncatesAnExistingFile) {
    writeAll(path("f"), "a long first text");
    writeAll(path("f"), "short");
    EXPECT_EQ(readAll(path("f")), "short");
}

TEST_F(FileStreamTest, AppendModeKeepsWhatWasThere) {
    writeAll(path("f"), "uno");
    {
        FileStream f;
        ASSERT_TRUE(f.open(path("f"), "ab"));
        f.write(std::string_view(",dos"));
    }
    EXPECT_EQ(readAll(path("f")), "uno,dos");
}

TEST_F(FileStreamTest, OpeningAnotherFileClosesTheFirst) {
    FileStream f;
    ASSERT_TRUE(f.create(path("first")));
    f.write(std::string_view("primero"));
    ASSERT_TRUE(f.create(path("second")));
    // The first file was closed, so its buffered bytes reached the disk.
    EXPECT_EQ(readAll(path("first")), "primero");
}

// ------------------------------------------------------- read, size and seek

TEST_F(FileStreamTest, ReadReturnsFewerBytesAtTheEnd) {
    writeAll(path("f"), "0123456789");
    FileStream f;
    ASSERT_TRUE(f.open(path("f"), "rb"));
    char buf[32];
    EXPECT_EQ(f.read(buf, 4), 4u);
    EXPECT_EQ(f.read(buf, sizeof buf), 6u);
    EXPECT_EQ(std::string(buf, 6), "456789");
    EXPECT_EQ(f.read(buf, sizeof buf), 0u);
    EXPECT_EQ(f.read(buf, 0), 0u);
}

TEST_F(FileStreamTest, SizeLeavesThePositionWhereItWas) {
    writeAll(path("f"), "0123456789");
    FileStream f;
    ASSERT_TRUE(f.open(path("f"), "rb"));
    ASSERT_TRUE(f.seek(3));
    EXPECT_EQ(f.size(), 10);
    char c = 0;
    ASSERT_EQ(f.read(&c, 1), 1u);
    EXPECT_EQ(c, '3');
}

TEST_F(FileStreamTest, SeekFromEachOrigin) {
    writeAll(path("f"), "0123456789");
    FileStream f;
    ASSERT_TRUE(f.open(path("f"), "rb"));
    char c = 0;
    ASSERT_TRUE(f.seek(-2, FileStream::Origin::End));
    f.read(&c, 1);
    EXPECT_EQ(c, '8');
    ASSERT_TRUE(f.seek(-5, FileStream::Origin::Current));
    f.read(&c, 1);
    EXPECT_EQ(c, '4');
    ASSERT_TRUE(f.seek(1, FileStream::Origin::Begin));
    f.read(&c, 1);
    EXPECT_EQ(c, '1');
    EXPECT_FALSE(f.seek(-1, FileStream::Origin::Begin));
}

TEST_F(FileStreamTest, EmptyFileHasSizeZero) {
    writeAll(path("empty"), "");
    FileStream f;
    ASSERT_TRUE(f.open(path("empty"), "rb"));
    EXPECT_EQ(f.size(), 0);
}

// ------------------------------------------------------------- ownership

TEST_F(FileStreamTest, DestructorClosesAndFlushes) {
    {
        FileStream f;
        ASSERT_TRUE(f.create(path("f")));
        f.write(std::string_view("sin cerrar"));
    }
    EXPECT_EQ(readAll(path("f")), "sin cerrar");
}

TEST_F(FileStreamTest, MovingHandsTheFileOver) {
    writeAll(path("f"), "abc");
    FileStream a;
    ASSERT_TRUE(a.open(path("f"), "rb"));
    FileStream b(std::move(a));
    EXPECT_FALSE(a.isOpen());  // NOLINT(bugprone-use-after-move): moved-from is closed
    EXPECT_EQ(b.size(), 3);
    char c;
    expectThrows([&] { a.read(&c, 1); }, "read: Invalid file");
}

TEST_F(FileStreamTest, MoveAssignmentClosesTheTargetsFile) {
    FileStream target;
    ASSERT_TRUE(target.create(path("old")));
    target.write(std::string_view("viejo"));
    FileStream source;
    ASSERT_TRUE(source.open(path("old"), "rb"));
    target = std::move(source);
    EXPECT_EQ(readAll(path("old")), "viejo");
    EXPECT_EQ(target.size(), 5);
    EXPECT_FALSE(source.isOpen());  // NOLINT(bugprone-use-after-move)
}

// ------------------------------------------------------------ free helpers

TEST_F(FileStreamTest, FileExistsAndRemoveFile) {
    EXPECT_FALSE(VORLIN::fileExists(path("f")));
    writeAll(path("f"), "x");
    EXPECT_TRUE(VORLIN::fileExists(path("f")));
    EXPECT_TRUE(VORLIN::fileExists(dir_.string()));  // a folder's status can be read too
    EXPECT_TRUE(VORLIN::removeFile(path("f")));
    EXPECT_FALSE(VORLIN::fileExists(path("f")));
    EXPECT_FALSE(VORLIN::removeFile(path("f")));
}

}  // namespace
