// Test entry point for suites that need a QApplication: one for the whole
// executable, created after the per-user stores have been pointed into a
// temporary folder (so nothing touches the real home or runtime folders).

#include <TempDir.h>

#include <QApplication>

#include <gtest/gtest.h>

#include <cstdlib>

// Under ThreadSanitizer: Qt and the GLib event loop under it are not
// instrumented, so the synchronisation of Qt's own threads (the image
// conversion pool, the file dialog's directory reader) is invisible and their
// allocations look racy. Calls these libraries make into the sanitizer
// runtime are ignored; every access made by this tree's code is still checked.
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
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
