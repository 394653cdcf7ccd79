// Entry point of the tests that touch Qt: one QApplication, created after
// the per-user folders are pointed into a temporary folder.

#include <TempDir.h>

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// ThreadSanitizer cannot see the synchronisation inside Qt and GLib, which
// are not instrumented; accesses made from those libraries are ignored, those
// of this tree's code are still checked.
extern "C" const char* __tsan_default_suppressions()
{
    return "called_from_lib:libQt6Core.so.6\n"
           "called_from_lib:libQt6Gui.so.6\n"
           "called_from_lib:libQt6Widgets.so.6\n"
           "called_from_lib:libglib-2.0.so.0\n";
}

int main(int argc, char** argv)
{
    testsupport::TempDir home;
    ::setenv("XDG_CONFIG_HOME", home.File("config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", home.File("runtime").c_str(), 1);
    ::setenv("XDG_STATE_HOME", home.File("state").c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0); // unless the platform is chosen

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
