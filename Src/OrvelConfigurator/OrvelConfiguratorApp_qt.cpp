// The settings root under Qt: its organisation and application names, which
// root QSettings as the framework's profile.

#include "OrvelConfiguratorApp.h"

#include <QCoreApplication>
#include <QString>

// The application key "maker\application" names the framework's own settings
// root: the organisation and the application.
void COrvelConfiguratorApp::SetRegistryKey(const std::string& key)
{
    m_registryKey = key;
    const QString path = QString::fromStdString(key);
    const int separator = path.indexOf(QLatin1Char('\\'));
    QCoreApplication::setOrganizationName(path.left(separator));
    QCoreApplication::setApplicationName(separator < 0 ? QString() : path.mid(separator + 1));
}
