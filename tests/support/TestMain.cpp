// Test entry: Qt runs offscreen; QApplication is created so window tests can run.
#include <gtest/gtest.h>

#include <QApplication>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // Without a runtime folder Qt makes one in the temporary folder: the tests keep theirs in
    // the build tree.
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        const std::string runtime = std::string(DALV_BIN_DIR) + "/../tests/runtime";
        ::mkdir(runtime.c_str(), 0700);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
