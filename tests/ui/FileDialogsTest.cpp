// The system's filter texts as Qt filters, and what the dialogs answer.
#include <gtest/gtest.h>

#include "ui/FileDialogs.h"

using namespace VORLIN;

TEST(FileDialogs, EveryFilterFormOfTheProgramBecomesQtFilters) {
    EXPECT_EQ(FileDialogs::qtFilters("Bases de datos (*.db)|db:Todos los archivos (*.*)|"),
              QStringLiteral("Bases de datos (*.db);;Todos los archivos (*)"));
    EXPECT_EQ(FileDialogs::qtFilters("Archivos de texto (*.txt)|*.txt:Todos los archivos|*.*"),
              QStringLiteral("Archivos de texto (*.txt);;Todos los archivos (*)"));
    EXPECT_EQ(FileDialogs::qtFilters("Archivos sql (*.sql)|sql"),
              QStringLiteral("Archivos sql (*.sql)"));
    EXPECT_EQ(FileDialogs::qtFilters("Archivos sql (*.sql)|sql:Todos los archivos (*.*)|"),
              QStringLiteral("Archivos sql (*.sql);;Todos los archivos (*)"));
    EXPECT_EQ(FileDialogs::qtFilters("Texto separado por tabulaciones (*.txt)|txt:Archivo de Exel "
                                     "(*.xls)|xls:Secuencia sql (*.sql)|sql"),
              QStringLiteral("Texto separado por tabulaciones (*.txt);;Archivo de Exel "
                             "(*.xls);;Secuencia sql (*.sql)"));
    EXPECT_EQ(FileDialogs::qtFilters("Archivos de texto (*.txt)|*.txt"),
              QStringLiteral("Archivos de texto (*.txt)"));
    EXPECT_EQ(FileDialogs::qtFilters("Archivos XML (*.xml)|*.xml"),
              QStringLiteral("Archivos XML (*.xml)"));
    EXPECT_EQ(FileDialogs::qtFilters("Esquemas de color (*.csh)|*.csh"),
              QStringLiteral("Esquemas de color (*.csh)"));
    EXPECT_EQ(FileDialogs::qtFilters(""), QString());
}

TEST(FileDialogs, EntriesKnowTheirExtension) {
    auto entries = FileDialogs::parseFilter(
        "Texto separado por tabulaciones (*.txt)|txt:Archivo de Exel (*.xls)|xls:Todos los "
        "archivos|*.*");
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].extension, QStringLiteral("txt"));
    EXPECT_EQ(entries[1].extension, QStringLiteral("xls"));
    EXPECT_TRUE(entries[2].extension.isEmpty());
    EXPECT_EQ(FileDialogs::withExtension("/tmp/datos", entries[1]), "/tmp/datos.xls");
    EXPECT_EQ(FileDialogs::withExtension("/tmp/datos.csv", entries[1]), "/tmp/datos.csv");
    EXPECT_EQ(FileDialogs::withExtension("/tmp/datos", entries[2]), "/tmp/datos");
}

TEST(FileDialogs, ASaveAddsTheChosenEntrysExtensionAndReportsWhichEntry) {
    FileDialogs::Request seen{};
    FileDialogs::setResponder([&](const FileDialogs::Request& r, int& index) {
        seen = r;
        index = 1;
        return String("/tmp/resultado");
    });
    int index = -1;
    String path = FileDialogs::saveFile(
        "Guardar datos de consulta",
        "Texto separado por tabulaciones (*.txt)|txt:Archivo de Exel (*.xls)|xls", "/tmp/", &index);
    EXPECT_EQ(path, "/tmp/resultado.xls");
    EXPECT_EQ(index, 1);
    EXPECT_EQ(seen.title, "Guardar datos de consulta");
    EXPECT_EQ(seen.startFolder, "/tmp/");
    EXPECT_TRUE(seen.kind == FileDialogs::Kind::Save);

    // Opening never changes the name; cancelling answers nothing.
    EXPECT_EQ(FileDialogs::openFile("Abrir", "Bases de datos (*.db)|db"), "/tmp/resultado");
    FileDialogs::setResponder([](const FileDialogs::Request&, int&) { return String(); });
    EXPECT_EQ(FileDialogs::saveFile("Guardar como", "Archivos sql (*.sql)|sql"), "");
    FileDialogs::setResponder({});
}
