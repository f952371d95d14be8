// Colour schemes: ".csh" files, the window's buttons, and what is stored.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include <QApplication>
#include <QPalette>
#include <QPushButton>
#include <QTimer>

#include "app/colors/ColorSchemaDlg.h"
#include "app/colors/ColorSchemaLogic.h"
#include "app/main/ConfigStore.h"
#include "app/main/MainWnd.h"
#include "app/main/ZaRavApp.h"
#include "core/DataItem.h"
#include "core/GeneralException.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"
#include "ui/ColorScheme.h"
#include "ui/FileDialogs.h"
#include "ui/MsgBox.h"

using namespace VORLIN;

namespace {

ColorSchemaLogic fromScheme(const ColorScheme& scheme) {
    DataRow solid, gradient;
    scheme.toLists(solid, gradient);
    return ColorSchemaLogic(solid, gradient);
}

void write(const std::string& path, const std::string& text) {
    std::ofstream(path) << text;
}

int argc0 = 1;
char arg0[] = "app_tests";
char* argv0[] = {arg0, nullptr};

}  // namespace

TEST(ColorSchemaLogic, ExportAndImportGiveTheSameColours) {
    testsupport::TempFolder tmp;
    ColorSchemaLogic dark = fromScheme(ColorScheme::dark());
    dark.exportFile(tmp.file("oscuro.csh").c_str());
    ColorSchemaLogic light = fromScheme(ColorScheme::builtIn());
    auto result = light.importFile(tmp.file("oscuro.csh").c_str());
    EXPECT_TRUE(result.error.isEmpty());
    EXPECT_EQ(result.applied, 30);
    EXPECT_TRUE(result.skipped.empty());
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(light.color(false, i).value, dark.color(false, i).value);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(light.color(true, i).value, dark.color(true, i).value);
    std::ifstream in(tmp.file("oscuro.csh"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(text.find("<COLORSCHEMA>"), std::string::npos);
    EXPECT_NE(text.find("<Element Id=\"19\" Color=\"("), std::string::npos);
}

TEST(ColorSchemaLogic, BrokenFilesAreReportedAndChangeOnlyWhatIsGood) {
    testsupport::TempFolder tmp;
    ColorSchemaLogic logic = fromScheme(ColorScheme::builtIn());
    const uint32_t before0 = logic.color(false, 0).value;
    write(tmp.file("mal.csh"),
          "<COLORSCHEMA><FIXED>"
          "<Element Id=\"-1\" Color=\"(1,2,3)\"/><Element Id=\"20\" Color=\"(1,2,3)\"/>"
          "<Element Id=\"x\" Color=\"(1,2,3)\"/><Element Id=\"3\" Color=\"rojo\"/>"
          "<Element Id=\"4\" Color=\"(300,0,0)\"/><Element Id=\"5\" Color=\"(10,20,30)\"/>"
          "</FIXED><GRADIENT><Element Id=\"10\" Color=\"(1,1,1)\"/>"
          "<Element Id=\"9\" Color=\"(9,9,9)\"/></GRADIENT></COLORSCHEMA>");
    auto result = logic.importFile(tmp.file("mal.csh").c_str());
    EXPECT_TRUE(result.error.isEmpty());
    EXPECT_EQ(result.applied, 2);
    EXPECT_EQ(result.skipped.size(), 6u);
    EXPECT_EQ(logic.color(false, 5).value, Color::fromRgb(10, 20, 30).value);
    EXPECT_EQ(logic.color(true, 9).value, Color::fromRgb(9, 9, 9).value);
    EXPECT_EQ(logic.color(false, 0).value, before0);

    // Nothing usable: nothing changes, and it says so.
    const uint32_t before5 = logic.color(false, 5).value;
    write(tmp.file("vacio.csh"), "<COLORSCHEMA><OTRO/></COLORSCHEMA>");
    result = logic.importFile(tmp.file("vacio.csh").c_str());
    EXPECT_FALSE(result.error.isEmpty());
    write(tmp.file("otro.xml"), "<CONSULTA><TIPO>1</TIPO></CONSULTA>");
    EXPECT_FALSE(logic.importFile(tmp.file("otro.xml").c_str()).error.isEmpty());
    EXPECT_FALSE(logic.importFile(tmp.file("falta.csh").c_str()).error.isEmpty());
    EXPECT_EQ(logic.color(false, 5).value, before5);
    EXPECT_THROW(logic.exportFile((tmp.path + "/no/such/x.csh").c_str()), GeneralException);
}

TEST(ColorSchemaDlg, RestoreThenApplyStoresTheBuiltInColoursAndClosingWithoutApplyStoresNothing) {
    testsupport::TempFolder home;
    ::setenv("XDG_CONFIG_HOME", home.path.c_str(), 1);
    const std::string store = home.path + "/VORLIN/Quelmir.ini";
    std::vector<MsgBox::Shown> shown;
    MsgBox::setResponder([&](const MsgBox::Shown& s) {
        shown.push_back(s);
        return 0;
    });
    {
        ZaRavApp app(argc0, argv0);
        // Closing without "Aplicar": nothing stored.
        QTimer::singleShot(0, [] {
            auto* dialog = dynamic_cast<ColorSchemaDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->loadDark();
            dialog->reject();
        });
        app.mainWnd()->action("Esquema de color")->trigger();
        EXPECT_EQ(testsupport::sqliteShell(store, "SELECT count(*) FROM sqlite_master WHERE name='tColorSchema';"),
                  "0\n");

        // The dark scheme, applied: the program turns dark and it is stored.
        QTimer::singleShot(0, [] {
            auto* dialog = dynamic_cast<ColorSchemaDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->loadDark();
            dialog->findChild<QPushButton*>(QStringLiteral("Aplicar"))->click();
            dialog->reject();
        });
        app.mainWnd()->action("Esquema de color")->trigger();
        EXPECT_LT(app.mainWnd()->palette().color(QPalette::Window).lightness(), 100);
        EXPECT_EQ(testsupport::sqliteShell(store, "SELECT count(*) FROM tColorSchema;"), "30\n");
    }
    // The next start comes up dark.
    {
        ZaRavApp app(argc0, argv0);
        EXPECT_TRUE(ColorScheme::current() == ColorScheme::dark());
        QTimer::singleShot(0, [] {
            auto* dialog = dynamic_cast<ColorSchemaDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            dialog->findChild<QPushButton*>(QStringLiteral("Restaurar"))->click();
            dialog->findChild<QPushButton*>(QStringLiteral("Aplicar"))->click();
            dialog->reject();
        });
        app.mainWnd()->action("Esquema de color")->trigger();
    }
    {
        ZaRavApp app(argc0, argv0);
        EXPECT_TRUE(ColorScheme::current() == ColorScheme::builtIn());
    }
    MsgBox::setResponder({});
    EXPECT_TRUE(shown.empty());
    ColorScheme::apply(ColorScheme::builtIn());
}
