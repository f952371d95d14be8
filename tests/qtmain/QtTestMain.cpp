// The test entry of the programs that need Qt widgets: one QApplication for
// the whole run, on the offscreen platform unless another one was chosen.
#include <gtest/gtest.h>

#include <cstdlib>

#include <QApplication>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Nothing of a test run may land in the person's own settings.
    ::setenv("XDG_CONFIG_HOME", "/tmp/quelmir-qt-tests-config", 0);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
