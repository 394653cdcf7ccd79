#include "CommandLine.h"

#include "OrvelConfiguratorApp.h"

#include <cstdio>

bool AnsweredOnTheCommandLine(const std::vector<std::string>& args, const char* whereThings)
{
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            std::printf("Usage: OrvelConfigurator [--help | --version]\n"
                        "\n"
                        "%s %s: commissions the serial devices of a ship's navigation\n"
                        "set (satellite receiver, beacon receiver, echo sounder) in one window\n"
                        "with a panel per channel. Without options it opens that window.\n"
                        "\n"
                        "  -h, --help     show this text and exit\n"
                        "      --version  show the version and exit\n"
                        "\n"
                        "%s",
                        kAppDescription, kAppVersion, whereThings);
            return true;
        }
        if (arg == "--version") {
            std::printf("OrvelConfigurator %s\n", kAppVersion);
            return true;
        }
    }
    return false;
}

int AnswerExitStatus()
{
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
