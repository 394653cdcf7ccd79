// Test entry point for suites that need a QApplication: one for the whole
// executable, created after the per-user stores have been pointed into a
// temporary folder (so nothing touches the real home or runtime folders).

#include <TempDir.h>

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv)
{
    testsupport::TempDir home;
    ::setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", home.File("runtime").c_str(), 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
