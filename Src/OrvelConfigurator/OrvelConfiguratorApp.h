#pragma once

// The application shell: configures logging once, writes the start-up
// events, roots the application's settings and runs the main window.

#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>

// Texts of the program's version information.
inline constexpr const char* kAppDescription = "OrvelConfigurator utility";
inline constexpr const char* kAppVersion = "1.0.130.0";

class COrvelConfiguratorApp
{
public:
    // Obtains the application logger; logging is not configured yet.
    COrvelConfiguratorApp();
    virtual ~COrvelConfiguratorApp();

    COrvelConfiguratorApp(const COrvelConfiguratorApp&) = delete;
    COrvelConfiguratorApp& operator=(const COrvelConfiguratorApp&) = delete;

    // Needs the QApplication. Configures logging from "log4cplus.conf" in the
    // current directory, writes the start-up events, sets the settings root
    // and runs the main window until it closes. Always false: the program
    // then ends.
    virtual bool InitInstance();

private:
    void ConfigureLogging();
    static void SetRegistryKey(const std::string& key);

    // log4cplus stays initialised while the logger is held: the initializer
    // is built before the logger and outlives it.
    log4cplus::Initializer m_logInitializer;
    log4cplus::Logger m_logger;
};

// The one application object, built during static initialisation.
extern COrvelConfiguratorApp theApp;
