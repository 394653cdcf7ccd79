#include "CommandLine.h"
#include "OrvelConfiguratorApp.h"

#include <QApplication>

namespace {

const char kWhereThings[] =
    "Settings: $XDG_CONFIG_HOME/OrvelConfigurator/hkcu.sqlite3 (~/.config/...).\n"
    "Start-up log: configured by log4cplus.conf in the current folder.\n"
    "Try it without devices: orvel-devsim --demo. More: man OrvelConfigurator\n";

} // namespace

int main(int argc, char* argv[])
{
    if (AnsweredOnTheCommandLine({argv + 1, argv + argc}, kWhereThings))
        return AnswerExitStatus();
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QString::fromLatin1(kAppVersion));
    app.setProperty("fileDescription", QString::fromLatin1(kAppDescription));
    // Ties the window to its menu entry (and so to its icon) on desktops that
    // match them by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvel.OrvelConfigurator"));
    theApp.InitInstance();
    return 0;
}
