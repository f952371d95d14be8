// The headless host and the trace switch.
#include <cstdio>
#include <fstream>
#include <sstream>

#include "ScriptTestSupport.h"
#include "db/DbConnection.h"
#include "script/HeadlessHost.h"
#include "script/ScriptTrace.h"

using namespace scripttest;
using VORLIN::HeadlessHost;
using VORLIN::ScriptHost;
using VORLIN::ScriptTrace;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST(HeadlessHost, MessagesGoToTheErrorStream) {
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    host.showMessage("hecho", "INFO");
    EXPECT_FALSE(host.confirm("¿borrar?", "ASK", "NO"));
    host.setConfirmAnswer(true);
    EXPECT_TRUE(host.confirm("¿seguro?", "ASK", "NO"));
    EXPECT_EQ(err.str(), "INFO: hecho\nASK: ¿borrar?\nASK: ¿seguro?\n");
    EXPECT_EQ(host.messageCount(), 3);
    host.printMessage("salida", false);
    host.printMessage("otra", true);
    EXPECT_EQ(out.str(), "salida\notra\n");
}

TEST(HeadlessHost, DialogsCursorAndConnections) {
    std::ostringstream out, err;
    HeadlessHost host(out, err);
    EXPECT_EQ(host.openFileDialog("Abrir archivo SQL", "Archivos sql (*.sql)|sql"), "");
    host.setFileAnswer("/tmp/x.sql");
    EXPECT_EQ(host.openFileDialog("Abrir", "x"), "/tmp/x.sql");
    EXPECT_EQ(host.saveFileDialog("Guardar", "x"), "/tmp/x.sql");
    EXPECT_FALSE(host.waitCursor());
    host.setWaitCursor(true);
    EXPECT_TRUE(host.waitCursor());
    EXPECT_EQ(host.openWaitWindow("espere"), nullptr);

    VORLIN::DbConnection a, b;
    host.addConnection("local", &a);
    host.addConnection("remota", &b);
    EXPECT_EQ(host.findConnection("local"), &a);
    EXPECT_EQ(host.findConnection("remota"), &b);
    EXPECT_EQ(host.findConnection("Local"), nullptr);
    host.addConnection("local", &b);
    EXPECT_EQ(host.findConnection("local"), &b);
    host.addConnection("local", nullptr);
    EXPECT_EQ(host.findConnection("local"), nullptr);
}

TEST(ScriptHost, DefaultsAreHarmless) {
    ScriptHost host;
    host.showMessage("x", "INFO");
    host.setWaitCursor(true);
    host.printMessage("x", false);
    EXPECT_FALSE(host.confirm("x", "ASK", "NO"));
    EXPECT_EQ(host.openFileDialog("a", "b"), "");
    EXPECT_EQ(host.saveFileDialog("a", "b"), "");
    EXPECT_EQ(host.findConnection("x"), nullptr);
    EXPECT_EQ(host.openWaitWindow("x"), nullptr);
}

class ScriptTraceTest : public ::testing::Test {
protected:
    void SetUp() override {
        path = ::testing::TempDir() + "script_trace_test.log";
        std::remove(path.c_str());
        ScriptTrace::setFileName(String(path));
    }
    void TearDown() override {
        ScriptTrace::reset();
        std::remove(path.c_str());
    }
    std::string path;
};

TEST_F(ScriptTraceTest, WritesOnlyWhileOn) {
    EXPECT_FALSE(ScriptTrace::enabled());
    ScriptTrace::write("antes\r\n");
    EXPECT_TRUE(ScriptTrace::setEnabled(true));
    EXPECT_TRUE(ScriptTrace::enabled());
    ScriptTrace::write("    EVAL x = 2\r\n");
    ScriptTrace::write("\r\n          2\r\n");
    EXPECT_TRUE(ScriptTrace::setEnabled(true));  // already open: kept
    ScriptTrace::write("mas\r\n");
    EXPECT_FALSE(ScriptTrace::setEnabled(false));
    ScriptTrace::write("despues\r\n");
    EXPECT_EQ(readFile(path), "    EVAL x = 2\r\n\r\n          2\r\nmas\r\n");
    // Turning it on again starts a new file.
    ScriptTrace::setEnabled(true);
    ScriptTrace::write("nuevo");
    ScriptTrace::setEnabled(false);
    EXPECT_EQ(readFile(path), "nuevo");
}

TEST_F(ScriptTraceTest, AFailureEndsTheTrace) {
    ScriptTrace::setEnabled(true);
    ScriptTrace::write("    SET x = 1\r\n");
    ScriptTrace::fail("Metodo: main\r\nAsignar: La variable no existe.");
    EXPECT_FALSE(ScriptTrace::enabled());
    ScriptTrace::fail("otra");  // off: nothing
    EXPECT_EQ(readFile(path),
              "    SET x = 1\r\nMetodo: main\r\nAsignar: La variable no existe.\r\n");
}

TEST_F(ScriptTraceTest, AFileThatCannotOpenLeavesItOff) {
    ScriptTrace::setFileName("/nonexistent-folder/x/trace.log");
    EXPECT_FALSE(ScriptTrace::setEnabled(true));
    EXPECT_FALSE(ScriptTrace::enabled());
    ScriptTrace::reset();
    EXPECT_EQ(ScriptTrace::fileName(), "trace.log");
}

}  // namespace
