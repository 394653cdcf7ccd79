#include <QApplication>
#include <QLabel>

// Stand-in until the main window exists.
int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QLabel label("OrvelConfigurator: the main window is not built yet.");
    label.setMargin(24);
    label.show();
    return app.exec();
}
