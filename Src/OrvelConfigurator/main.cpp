#include "CommandLine.h"
#include "OrvelConfiguratorApp.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

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
    // The window speaks Russian whatever the desktop's language: so do Qt's
    // own dialogs and buttons (file dialogs, message boxes, Cancel).
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Russian), QStringLiteral("qtbase"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        app.installTranslator(&qtTexts);
    QApplication::setApplicationVersion(QString::fromLatin1(kAppVersion));
    app.setProperty("fileDescription", QString::fromLatin1(kAppDescription));
    // Ties the window to its menu entry (and so to its icon) on desktops that
    // match them by this name.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvel.OrvelConfigurator"));
    theApp.InitInstance();
    return 0;
}
