// The start-up's logging block on Windows, on log4cplus built for mingw from
// Debian's source: "log4cplus.conf" read from the current folder, the six
// "Started" events written as the Linux build writes them.

#include <OrvelConfiguratorApp.h>
#include <StartupLog.h>
#include <TempDir.h>

#include <log4cplus/hierarchy.h>
#include <log4cplus/logger.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

// At TRACE all six events, in order, each with the start-up unit's file and
// its own line; at WARN the last three.
TEST(StartupLog, StartedEventsWithTheStartUpUnitsFileAndLines)
{
    const std::vector<std::string> expected = testsupport::ExpectedStartedLines(ORVEL_APP_SOURCE);
    testsupport::TempDir dir;
    const std::filesystem::path before = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());  // where start-up looks for log4cplus.conf
    const std::pair<const char*, std::size_t> runs[] = {{"TRACE", 0}, {"WARN", 3}};
    for (const auto& [threshold, first] : runs) {
        SCOPED_TRACE(threshold);
        const std::string log = std::string(threshold) + ".log";
        testsupport::WriteLogConfig(dir.File("log4cplus.conf"), threshold, log);
        theApp.ConfigureLogging();
        // Closes the file, so the next run starts from a clean configuration.
        log4cplus::Logger::getDefaultHierarchy().resetConfiguration();
        EXPECT_EQ(testsupport::ReadLines(dir.File(log)),
                  std::vector<std::string>(expected.begin() + first, expected.end()));
    }
    std::filesystem::current_path(before);  // Windows removes no folder in use
}
