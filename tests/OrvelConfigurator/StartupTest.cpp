// Start-up of the program: logging configured once from "log4cplus.conf" in
// the current directory, the six start-up events, the settings root, and
// the main window run until it closes.

#include <OrvelConfiguratorApp.h>
#include <OrvelConfiguratorDlg.h>
#include <RegistryHooks.h>
#include <TempDir.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include <log4cplus/hierarchy.h>
#include <log4cplus/logger.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void WriteConfig(const std::string& path, const std::string& threshold, const std::string& logFile)
{
    std::ofstream(path) << "log4cplus.rootLogger=" << threshold << ", File\n"
        << "log4cplus.appender.File=log4cplus::FileAppender\n"
        << "log4cplus.appender.File.File=" << logFile << "\n"
        << "log4cplus.appender.File.layout=log4cplus::PatternLayout\n"
        << "log4cplus.appender.File.layout.ConversionPattern=%p|%b|%L|%c|%m%n\n";
}

// The six lines expected at TRACE, each naming the line of its own logging
// statement in the application's source.
std::vector<std::string> ExpectedStartedLines()
{
    const std::vector<std::string> source = ReadLines(ORVEL_APP_SOURCE);
    std::vector<std::string> expected;
    for (const std::string level : {"TRACE", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"}) {
        const auto line = std::find_if(source.begin(), source.end(), [&](const std::string& text) {
            return text.find("LOG4CPLUS_" + level + "(m_logger, \"Started\")") != std::string::npos;
        });
        expected.push_back(level + "|OrvelConfiguratorApp.cpp|" + std::to_string(line - source.begin() + 1)
                           + "|OrvelConfiguratorApp|Started");
    }
    return expected;
}

} // namespace

// At TRACE all six events; at WARN the last three. A configuration edited
// while the window runs is not applied.
TEST(Startup, StartedEventsWithTheirOwnLinesAndAConfigurationEditedLaterIsNotApplied)
{
    const std::vector<std::string> expected = ExpectedStartedLines();
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
    WriteConfig(config, "WARN", dir.File("warn.log"));
    run([] {});
    EXPECT_EQ(ReadLines(dir.File("warn.log")), std::vector<std::string>(expected.begin() + 3, expected.end()));

    WriteConfig(config, "TRACE", dir.File("first.log"));
    run([&] {
        WriteConfig(config, "TRACE", dir.File("second.log"));
        std::filesystem::last_write_time(
            config, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(30));
        // Longer than the watch period of the start-up (5 s): a watcher still
        // running would have applied the new file and opened second.log.
        QTest::qWait(7000);
    });
    EXPECT_FALSE(std::filesystem::exists(dir.File("second.log")));
    EXPECT_EQ(ReadLines(dir.File("first.log")), expected);
    // The framework's settings root is the application key Lunder\Orvel4.
    EXPECT_EQ(QCoreApplication::organizationName(), "Lunder");
    EXPECT_EQ(QCoreApplication::applicationName(), "Orvel4");
    registry::ResetStores();
}
