#include "StartupLog.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace testsupport {

std::vector<std::string> ReadLines(const std::string& path)
{
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

void WriteLogConfig(const std::string& path, const std::string& threshold, const std::string& logFile)
{
    std::ofstream(path) << "log4cplus.rootLogger=" << threshold << ", File\n"
        << "log4cplus.appender.File=log4cplus::FileAppender\n"
        << "log4cplus.appender.File.File=" << logFile << "\n"
        << "log4cplus.appender.File.layout=log4cplus::PatternLayout\n"
        << "log4cplus.appender.File.layout.ConversionPattern=%p|%b|%L|%c|%m%n\n";
}

std::vector<std::string> ExpectedStartedLines(const std::string& source)
{
    const std::vector<std::string> text = ReadLines(source);
    const std::string file = std::filesystem::path(source).filename().string();
    std::vector<std::string> expected;
    for (const std::string level : {"TRACE", "DEBUG", "INFO", "WARN", "ERROR", "FATAL"}) {
        const auto line = std::find_if(text.begin(), text.end(), [&](const std::string& statement) {
            return statement.find("LOG4CPLUS_" + level + "(m_logger, \"Started\")") != std::string::npos;
        });
        expected.push_back(level + "|" + file + "|" + std::to_string(line - text.begin() + 1)
                           + "|OrvelConfiguratorApp|Started");
    }
    return expected;
}

} // namespace testsupport
