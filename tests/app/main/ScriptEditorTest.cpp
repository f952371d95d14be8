// The Script menu: its logic headless, and the window on the offscreen
// platform.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include <QAction>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QTimer>

#include "app/main/MainWnd.h"
#include "app/main/ScriptEditorLogic.h"
#include "app/main/ZaRavApp.h"
#include "core/GeneralException.h"
#include "script/HeadlessHost.h"
#include "script/ScriptSession.h"
#include "tests/support/SqliteShell.h"
#include "tests/support/TempFolder.h"
#include "ui/CodeEditor.h"
#include "ui/FileDialogs.h"
#include "ui/MsgBox.h"

using namespace VORLIN;

namespace {

const char* kPrints = "FUNCTION main()\n    printMsg(\"hola\", false)\nENDFUNCTION\n";
const char* kFails =
    "FUNCTION uno(a)\n    RETURN a\nENDFUNCTION\n"
    "FUNCTION main()\n    x = this.uno()\n    printMsg(\"sigue\", false)\nENDFUNCTION\n";
const char* kForever =
    "FUNCTION main()\n    i = 0\n    WHILE (1)\n        i = i + 1\n    ENDWHILE\nENDFUNCTION\n";

int argc0 = 1;
char arg0[] = "app_tests";
char* argv0[] = {arg0, nullptr};

}  // namespace

TEST(ScriptEditorLogic, RunsExplainsAndSaysHowTheRunEnded) {
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    ScriptSession session(host);
    ScriptEditorLogic logic(session);
    EXPECT_TRUE(logic.isNew());
    EXPECT_EQ(logic.title(), "*NUEVO*");

    EXPECT_EQ(logic.run(kPrints), "-Finalizó el programa correctamente-");
    EXPECT_EQ(out.str(), "hola\n");
    // A run with an error report never says it ended well.
    EXPECT_EQ(logic.run(kFails), "-El programa terminó con 1 error-");
    EXPECT_NE(err.str().find("ERROR"), std::string::npos);
    EXPECT_EQ(logic.run("   \n"), "");
    EXPECT_EQ(logic.run("FUNCTION otra()\nENDFUNCTION\n"), "-El programa terminó con 1 error-");

    testsupport::TempFolder tmp;
    EXPECT_EQ(logic.explain(kPrints, tmp.file("trace.log").c_str()), "-OK-");
    EXPECT_NE(testsupport::fileBytes(tmp.file("trace.log")).find("printMsg"), std::string::npos);
    EXPECT_EQ(logic.explain("FUNCTION x()\nENDFUNCTION\n", tmp.file("t2.log").c_str()), "");
    EXPECT_FALSE(std::ifstream(tmp.file("t2.log")).good());
}

TEST(ScriptEditorLogic, ARunawayLoopStopsWhenAskedAndTryCannotCatchIt) {
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    ScriptSession session(host);
    ScriptEditorLogic logic(session);
    int calls = 0;
    logic.setKeepAlive(
        [&] {
            if (++calls == 5) logic.requestStop();
        },
        100);
    const std::string guarded =
        "FUNCTION main()\n    TRY\n        WHILE (1)\n            i = 1\n        ENDWHILE\n"
        "    CATCH\n        printMsg(\"atrapado\", false)\n    ENDTRY\nENDFUNCTION\n";
    EXPECT_EQ(logic.run(guarded.c_str()), "-El programa terminó con 1 error-");
    EXPECT_EQ(calls, 5);
    EXPECT_EQ(out.str(), "");
    EXPECT_NE(err.str().find("Ejecución detenida por el usuario"), std::string::npos);
    EXPECT_FALSE(logic.running());
    // The next run starts afresh.
    EXPECT_EQ(logic.run(kPrints), "-Finalizó el programa correctamente-");
}

TEST(ScriptEditorLogic, FilesAreOpenedAndSavedWhole) {
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    ScriptSession session(host);
    ScriptEditorLogic logic(session);
    testsupport::TempFolder tmp;
    const std::string path = tmp.file("guion.txt");
    EXPECT_THROW(logic.save(kPrints), GeneralException);  // a new script needs a name
    logic.save("línea ñ\r\n", path.c_str());
    EXPECT_EQ(logic.path(), path.c_str());
    EXPECT_EQ(testsupport::fileBytes(path), "línea ñ\r\n");
    logic.newScript();
    EXPECT_EQ(logic.open(path.c_str()), "línea ñ\r\n");
    EXPECT_EQ(logic.path(), path.c_str());
    EXPECT_THROW(logic.open(tmp.file("falta.txt").c_str()), GeneralException);
    EXPECT_EQ(logic.path(), path.c_str());
    // A folder that cannot be written leaves nothing behind.
    if (::geteuid() != 0) {
        ::chmod(tmp.path.c_str(), 0500);
        EXPECT_THROW(logic.save("nuevo"), GeneralException);
        ::chmod(tmp.path.c_str(), 0700);
        EXPECT_EQ(testsupport::fileBytes(path), "línea ñ\r\n");
    }
    EXPECT_THROW(logic.save("x", (tmp.path + "/no/such/dir/x.txt").c_str()), GeneralException);
    EXPECT_EQ(tmp.files(), std::vector<std::string>{"guion.txt"});
}

TEST(MainWndScript, RunSaveAndStopFromTheWindow) {
    testsupport::TempFolder home;
    ::setenv("XDG_CONFIG_HOME", home.path.c_str(), 1);
    std::vector<MsgBox::Shown> shown;
    MsgBox::setResponder([&](const MsgBox::Shown& s) {
        shown.push_back(s);
        return 0;
    });
    {
        ZaRavApp app(argc0, argv0);
        MainWnd& w = *app.mainWnd();
        w.editor()->setText(kPrints);
        w.action("Ejecutar script")->trigger();
        EXPECT_EQ(w.output()->toPlainText(),
                  QStringLiteral("hola\n-Finalizó el programa correctamente-"));

        // "Guardar script" on a new script asks for a name.
        testsupport::TempFolder tmp;
        std::vector<String> titles;
        FileDialogs::setResponder([&](const FileDialogs::Request& r, int&) {
            titles.push_back(r.title);
            return String(tmp.file("nuevo"));
        });
        w.action("Guardar script")->trigger();
        ASSERT_EQ(titles.size(), 1u);
        EXPECT_EQ(titles[0], "Guardar script");
        EXPECT_EQ(testsupport::fileBytes(tmp.file("nuevo.txt")), kPrints);
        w.action("Guardar script")->trigger();  // now it has a name
        EXPECT_EQ(titles.size(), 1u);
        FileDialogs::setResponder({});

        // "Detener" ends a loop that never ends.
        w.output()->clear();
        w.editor()->setText(kForever);
        QTimer::singleShot(200, [&] {
            EXPECT_TRUE(w.action("Detener")->isEnabled());
            EXPECT_FALSE(w.action("Ejecutar script")->isEnabled());
            w.action("Detener")->trigger();
        });
        w.action("Ejecutar script")->trigger();
        EXPECT_EQ(w.output()->toPlainText(), QStringLiteral("-El programa terminó con 1 error-"));
        EXPECT_TRUE(w.action("Ejecutar script")->isEnabled());
        EXPECT_FALSE(w.action("Detener")->isEnabled());
    }
    MsgBox::setResponder({});
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_NE(std::string(shown[0].text.c_str()).find("Ejecución detenida por el usuario"),
              std::string::npos);
}
