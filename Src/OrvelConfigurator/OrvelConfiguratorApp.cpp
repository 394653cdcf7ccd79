#include "OrvelConfiguratorApp.h"

#include <log4cplus/configurator.h>
#include <log4cplus/loggingmacros.h>

COrvelConfiguratorApp theApp;

COrvelConfiguratorApp::COrvelConfiguratorApp()
    : m_logger(log4cplus::Logger::getInstance(LOG4CPLUS_TEXT("OrvelConfiguratorApp")))
{
}

COrvelConfiguratorApp::~COrvelConfiguratorApp() = default;

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
