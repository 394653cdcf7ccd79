// Start-up of the program: logging configured once from "log4cplus.conf" in
// the current directory, the six start-up events, the settings root, and
// the main window run until it closes.

#include <OrvelConfiguratorApp.h>
#include <OrvelConfiguratorDlg.h>
#include <RegistryHooks.h>
#include <StartupLog.h>
#include <TempDir.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <log4cplus/hierarchy.h>
#include <log4cplus/logger.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

using testsupport::ReadLines;
using testsupport::WriteLogConfig;

// At TRACE all six events; at WARN the last three. A configuration edited
// while the window runs is not applied.
TEST(Startup, StartedEventsWithTheirOwnLinesAndAConfigurationEditedLaterIsNotApplied)
{
    const std::vector<std::string> expected = testsupport::ExpectedStartedLines(ORVEL_APP_SOURCE);
    testsupport::TempDir dir;
    registry::SetUserStoreFile(dir.File("hkcu.sqlite3"));
    registry::SetDeviceMapValues({});
    std::filesystem::current_path(dir.Path()); // where the program looks for log4cplus.conf
    // Runs the program's start-up; `whileOpen` runs once the main window is
    // up, then the window is ended with Escape.
    const auto run = [](const std::function<void()>& whileOpen) {
        bool sawWindow = false;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* dlg = dynamic_cast<COrvelConfiguratorDlg*>(QApplication::activeModalWidget())) {
                poll.stop();
                sawWindow = true;
                whileOpen();
                QTest::keyClick(dlg, Qt::Key_Escape);
            }
        });
        poll.start(10);
        EXPECT_FALSE(theApp.InitInstance());
        // Close the appenders, so the next run starts from a clean configuration.
        log4cplus::Logger::getDefaultHierarchy().resetConfiguration();
        EXPECT_TRUE(sawWindow);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    };
    const std::string config = dir.File("log4cplus.conf");
    WriteLogConfig(config, "WARN", dir.File("warn.log"));
    run([] {});
    EXPECT_EQ(ReadLines(dir.File("warn.log")), std::vector<std::string>(expected.begin() + 3, expected.end()));

    WriteLogConfig(config, "TRACE", dir.File("first.log"));
    run([&] {
        WriteLogConfig(config, "TRACE", dir.File("second.log"));
        std::filesystem::last_write_time(
            config, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(30));
        // Longer than the watch period of the start-up (5 s): a watcher still
        // running would have applied the new file and opened second.log.
        QTest::qWait(7000);
    });
    EXPECT_FALSE(std::filesystem::exists(dir.File("second.log")));
    EXPECT_EQ(ReadLines(dir.File("first.log")), expected);
    // The framework's settings root is the application key Lunder\Orvel4.
    EXPECT_EQ(theApp.RegistryKey(), "Lunder\\Orvel4");
    EXPECT_EQ(QCoreApplication::organizationName(), "Lunder");
    EXPECT_EQ(QCoreApplication::applicationName(), "Orvel4");
    registry::ResetStores();
}
