#include "OrvelConfiguratorApp.h"

#include <KeyPath.h>
#include <OrvelConfiguratorDlg.h>

#include <QCoreApplication>
#include <QString>

#include <log4cplus/configurator.h>
#include <log4cplus/loggingmacros.h>

COrvelConfiguratorApp theApp;

COrvelConfiguratorApp::COrvelConfiguratorApp()
    : m_logger(log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("OrvelConfiguratorApp")))
{
}

COrvelConfiguratorApp::~COrvelConfiguratorApp() = default;

bool COrvelConfiguratorApp::InitInstance()
{
    ConfigureLogging();
    SetRegistryKey(setting::MakeAppKeyPath());
    {
        COrvelConfiguratorDlg dlg;
        dlg.DoModal();
    }
    return false;
}

void COrvelConfiguratorApp::ConfigureLogging()
{
    try {
        // Applied once: the watcher is stopped when the block is left, so the
        // file is not watched while the window runs.
        log4cplus::ConfigureAndWatchThread configureThread(LOG4CPLUS_TEXT("log4cplus.conf"), 5000);
        LOG4CPLUS_TRACE(m_logger, "Started");
        LOG4CPLUS_DEBUG(m_logger, "Started");
        LOG4CPLUS_INFO(m_logger, "Started");
        LOG4CPLUS_WARN(m_logger, "Started");
        LOG4CPLUS_ERROR(m_logger, "Started");
        LOG4CPLUS_FATAL(m_logger, "Started");
    } catch (...) {
        LOG4CPLUS_ERROR(m_logger, "Exception log4cplus::ConfigureAndWatchThread");
    }
}

// The application key "maker\application" names the framework's own settings
// root: the organisation and the application.
void COrvelConfiguratorApp::SetRegistryKey(const std::string& key)
{
    const QString path = QString::fromStdString(key);
    const int separator = path.indexOf(QLatin1Char('\\'));
    QCoreApplication::setOrganizationName(path.left(separator));
    QCoreApplication::setApplicationName(separator < 0 ? QString() : path.mid(separator + 1));
}
