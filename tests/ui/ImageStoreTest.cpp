// The named pictures: built in for every name, replaced from an appended
// block or from resource files the test makes.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include <QColor>
#include <QImage>

#include "data/Archive.h"
#include "tests/support/TempFolder.h"
#include "ui/IconPainter.h"
#include "ui/ImageStore.h"

using namespace VORLIN;

namespace {

QImage solid(QColor color) {
    QImage image(8, 8, QImage::Format_ARGB32);
    image.fill(color);
    return image;
}

QColor centre(const QIcon& icon) {
    return icon.pixmap(8, 8).toImage().pixelColor(4, 4);
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}

std::string blockOf(const std::vector<std::pair<String, QImage>>& images) {
    Archive archive;
    ImageStore::writeArchive(archive, images);
    std::string bytes(reinterpret_cast<const char*>(archive.buffer()), archive.dataSize());
    const uint32_t n = uint32_t(bytes.size());
    std::string tail;
    for (int i = 0; i < 4; ++i)
        tail.push_back(char((n >> (8 * i)) & 255));
    return bytes + tail + "INCBMP";
}

}  // namespace

TEST(ImageStore, EveryNameTheProgramUsesHasAPicture) {
    ImageStore::clear();
    for (const char* name :
         {"DB_SOLUCION", "DB_LOCAL", "DB_SERVER", "DB_MYSQL", "DB_ODBC", "DB_TABLE", "DB_FIELD",
          "DB_DB", "DB_QUERYWND", "DB_INSERT", "DB_EJECUTAR", "NEW", "OPEN", "SAVE", "CANCEL",
          "INFO", "ERROR", "ALERT"}) {
        QIcon icon = ImageStore::icon(name);
        ASSERT_FALSE(icon.isNull()) << name;
        QImage image = icon.pixmap(32, 32).toImage();
        // Something is drawn: not every pixel transparent.
        bool drawn = false;
        for (int y = 0; y < image.height() && !drawn; ++y)
            for (int x = 0; x < image.width() && !drawn; ++x)
                drawn = image.pixelColor(x, y).alpha() > 0;
        EXPECT_TRUE(drawn) << name;
    }
    EXPECT_TRUE(ImageStore::icon("NO_SUCH_PICTURE").isNull());
}

TEST(ImageStore, AnAppendedBlockReplacesPicturesAndAForeignTailLoadsNothing) {
    testsupport::TempFolder tmp;
    ImageStore::clear();
    const std::string program = tmp.file("program");
    writeFile(program, std::string("\x7f"
                                   "ELF some program bytes") +
                           blockOf({{"DB_LOCAL", solid(Qt::red)}, {"OPEN", solid(Qt::green)}}));
    EXPECT_EQ(ImageStore::loadAppendedBlock(program.c_str()), 2);
    EXPECT_TRUE(ImageStore::hasLoaded("DB_LOCAL"));
    EXPECT_EQ(centre(ImageStore::icon("DB_LOCAL")), QColor(Qt::red));
    EXPECT_EQ(centre(ImageStore::icon("OPEN")), QColor(Qt::green));

    ImageStore::clear();
    writeFile(program, "no trailer here at all, just bytes");
    EXPECT_EQ(ImageStore::loadAppendedBlock(program.c_str()), 0);
    // A length that claims more than the file holds.
    writeFile(program, std::string("xx") + std::string("\xff\xff\xff\x7f", 4) + "INCBMP");
    EXPECT_EQ(ImageStore::loadAppendedBlock(program.c_str()), 0);
    // A cut archive: what cannot be read is skipped.
    std::string block = blockOf({{"SAVE", solid(Qt::blue)}});
    block.replace(10, 20, std::string(20, '\0'));
    writeFile(program, block);
    ImageStore::loadAppendedBlock(program.c_str());
    EXPECT_FALSE(ImageStore::hasLoaded("SAVE"));
    EXPECT_EQ(ImageStore::loadAppendedBlock(tmp.file("missing").c_str()), 0);
    EXPECT_FALSE(ImageStore::icon("SAVE").isNull());
}

TEST(ImageStore, ResourceFilesNamePicturesBesideThem) {
    testsupport::TempFolder tmp;
    ImageStore::clear();
    solid(Qt::yellow).save(QString::fromStdString(tmp.file("local.png")));
    writeFile(tmp.file("zarav.xml"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<RESOURCES>"
              "<IMAGE NAME=\"DB_LOCAL\" FILE=\"local.png\"/>"
              "<IMAGE NAME=\"DB_MYSQL\" FILE=\"missing.png\"/>"
              "<IMAGE FILE=\"local.png\"/></RESOURCES>");
    EXPECT_EQ(ImageStore::loadXmlResources(tmp.file("zarav.xml").c_str()), 1);
    EXPECT_EQ(centre(ImageStore::icon("DB_LOCAL")), QColor(Qt::yellow));
    EXPECT_FALSE(ImageStore::hasLoaded("DB_MYSQL"));
    EXPECT_EQ(ImageStore::loadXmlResources(tmp.file("res.xml").c_str()), 0);
    writeFile(tmp.file("res.xml"), "<RESOURCES><IMAGE NAME=");
    EXPECT_EQ(ImageStore::loadXmlResources(tmp.file("res.xml").c_str()), 0);
    ImageStore::clear();
}
