// Start-up of the program: logging configured once from "log4cplus.conf" in
// the current directory, the six start-up events, the settings root, and
// the main window run until it closes.

#include <OrvelConfiguratorApp.h>
#include <OrvelConfiguratorDlg.h>
#include <Registry.h>
#include <TempDir.h>

#include <QApplication>
#include <QCoreApplication>
#include <QTest>
#include <QTimer>

#include <log4cplus/hierarchy.h>
#include <log4cplus/logger.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <unistd.h>
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

std::vector<std::string> Split(const std::string& line)
{
    std::vector<std::string> parts;
    std::stringstream in(line);
    for (std::string part; std::getline(in, part, '|');)
        parts.push_back(part);
    return parts;
}

void WriteConfig(const std::string& path, const std::string& threshold, const std::string& logFile)
{
    std::ofstream out(path, std::ios::trunc);
    out << "log4cplus.rootLogger=" << threshold << ", File\n"
        << "log4cplus.appender.File=log4cplus::FileAppender\n"
        << "log4cplus.appender.File.File=" << logFile << "\n"
        << "log4cplus.appender.File.layout=log4cplus::PatternLayout\n"
        << "log4cplus.appender.File.layout.ConversionPattern=%p|%b|%L|%c|%m%n\n";
}

COrvelConfiguratorDlg* OpenMainWindow()
{
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* dlg = dynamic_cast<COrvelConfiguratorDlg*>(w); dlg && dlg->isVisible())
            return dlg;
    }
    return nullptr;
}

// Runs the program's start-up from `folder`; `whileOpen` runs once the
// main window is up, then the window is ended with Escape.
void RunStartup(const std::string& folder, const std::function<void(COrvelConfiguratorDlg&)>& whileOpen = {})
{
    const std::string previous = std::filesystem::current_path();
    std::filesystem::current_path(folder);
    bool sawWindow = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        COrvelConfiguratorDlg* dlg = OpenMainWindow();
        if (!dlg)
            return;
        poll.stop();
        sawWindow = true;
        if (whileOpen)
            whileOpen(*dlg);
        QTest::keyClick(dlg, Qt::Key_Escape);
    });
    poll.start(10);
    const bool result = theApp.InitInstance();
    std::filesystem::current_path(previous);
    // Close the appenders, so the next run starts from a clean configuration.
    log4cplus::Logger::getDefaultHierarchy().resetConfiguration();
    EXPECT_FALSE(result);
    EXPECT_TRUE(sawWindow);
    EXPECT_EQ(OpenMainWindow(), nullptr);
}

class Startup : public ::testing::Test
{
protected:
    Startup() { registry::SetUserStoreFile(dir.File("hkcu.sqlite3")); registry::SetDeviceMapValues({}); }
    ~Startup() override { registry::ResetStores(); }

    testsupport::TempDir dir;
};

} // namespace

TEST_F(Startup, WritesSixStartedEventsEachWithItsOwnSourceLine)
{
    WriteConfig(dir.File("log4cplus.conf"), "TRACE", dir.File("start.log"));
    RunStartup(dir.Path());
    // The framework's settings root is the application key Lunder\Orvel4.
    EXPECT_EQ(QCoreApplication::organizationName(), "Lunder");
    EXPECT_EQ(QCoreApplication::applicationName(), "Orvel4");

    const std::vector<std::string> lines = ReadLines(dir.File("start.log"));
    ASSERT_EQ(lines.size(), 6u);
    const std::vector<std::string> source = ReadLines(ORVEL_APP_SOURCE);
    const char* const levels[] = {"TRACE", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"};
    int previousLine = 0;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        SCOPED_TRACE(lines[i]);
        const std::vector<std::string> f = Split(lines[i]);
        ASSERT_EQ(f.size(), 5u);
        EXPECT_EQ(f[0], levels[i]);
        EXPECT_EQ(f[1], "OrvelConfiguratorApp.cpp");
        EXPECT_EQ(f[3], "OrvelConfiguratorApp");
        EXPECT_EQ(f[4], "Started");
        // The line named is the logging statement of that level.
        const int line = std::stoi(f[2]);
        EXPECT_GT(line, previousLine);
        previousLine = line;
        ASSERT_LE(line, static_cast<int>(source.size()));
        EXPECT_NE(source[line - 1].find(std::string("LOG4CPLUS_") + levels[i] + "(m_logger, \"Started\")"),
                  std::string::npos)
            << source[line - 1];
    }
}

TEST_F(Startup, ThresholdWarnLeavesThreeEvents)
{
    WriteConfig(dir.File("log4cplus.conf"), "WARN", dir.File("start.log"));
    RunStartup(dir.Path());

    std::vector<std::string> levels;
    for (const std::string& line : ReadLines(dir.File("start.log")))
        levels.push_back(Split(line).at(0));
    EXPECT_EQ(levels, (std::vector<std::string>{"WARN", "ERROR", "FATAL"}));
}

TEST_F(Startup, ConfigurationEditedWhileTheWindowIsOpenIsNotApplied)
{
    const std::string config = dir.File("log4cplus.conf");
    WriteConfig(config, "TRACE", dir.File("first.log"));
    RunStartup(dir.Path(), [&](COrvelConfiguratorDlg&) {
        WriteConfig(config, "TRACE", dir.File("second.log"));
        std::filesystem::last_write_time(
            config, std::filesystem::file_time_type::clock::now() + std::chrono::seconds(30));
        // Longer than the watch period of the start-up (5 s): a watcher still
        // running would have applied the new file and opened second.log.
        QTest::qWait(7000);
        EXPECT_FALSE(std::filesystem::exists(dir.File("second.log")));
    });
    EXPECT_FALSE(std::filesystem::exists(dir.File("second.log")));
    EXPECT_EQ(ReadLines(dir.File("first.log")).size(), 6u);
}
