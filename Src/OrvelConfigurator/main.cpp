#include "OrvelConfiguratorApp.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

namespace {

// --help and --version are answered before any window system is touched, so
// they work without a display; every other start is the window.
bool AnsweredOnTheCommandLine(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: OrvelConfigurator [--help | --version]\n"
                        "\n"
                        "%s %s: commissions the serial devices of a ship's navigation\n"
                        "set (satellite receiver, beacon receiver, echo sounder) in one window\n"
                        "with a panel per channel. Without options it opens that window.\n"
                        "\n"
                        "  -h, --help     show this text and exit\n"
                        "      --version  show the version and exit\n"
                        "\n"
                        "Settings: $XDG_CONFIG_HOME/OrvelConfigurator/hkcu.sqlite3 (~/.config/...).\n"
                        "Start-up log: configured by log4cplus.conf in the current folder.\n"
                        "Try it without devices: orvel-devsim --demo. More: man OrvelConfigurator\n",
                        kAppDescription, kAppVersion);
            return true;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("OrvelConfigurator %s\n", kAppVersion);
            return true;
        }
    }
    return false;
}

} // namespace

int main(int argc, char* argv[])
{
    if (AnsweredOnTheCommandLine(argc, argv))
        return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QString::fromLatin1(kAppVersion));
    app.setProperty("fileDescription", QString::fromLatin1(kAppDescription));
    // Ties the window to its menu entry (and so to its icon) on desktops that
    // match them by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvel.OrvelConfigurator"));
    theApp.InitInstance();
    return 0;
}
