#include "OrvelConfiguratorApp.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationVersion(QString::fromLatin1(kAppVersion));
    app.setProperty("fileDescription", QString::fromLatin1(kAppDescription));
    theApp.InitInstance();
    return 0;
}
