#pragma once

// The application shell: configures logging once, writes the start-up
// events, roots the application's settings and runs the main window.

#include <log4cplus/initializer.h>
#include <log4cplus/logger.h>

#include <string>

// Texts of the program's version information.
inline constexpr const char* kAppDescription = "OrvelConfigurator utility";
inline constexpr const char* kAppVersion = "1.0.130.0";

class COrvelConfiguratorApp
{
public:
    // Obtains the application logger; logging is not configured yet.
    COrvelConfiguratorApp();
    ~COrvelConfiguratorApp();

    COrvelConfiguratorApp(const COrvelConfiguratorApp&) = delete;
    COrvelConfiguratorApp& operator=(const COrvelConfiguratorApp&) = delete;

    // Needs the platform's application (QApplication; on Windows the common
    // controls). Configures logging, sets the settings root and runs the
    // main window until it closes. Always false: the program then ends.
    bool InitInstance();

    // The logging block of InitInstance: applies "log4cplus.conf" from the
    // current directory once and writes the six start-up events; a failure
    // is logged and start-up goes on.
    void ConfigureLogging();

    // The root of the framework's own settings set at start-up,
    // "Lunder\Orvel4" (on Windows under HKEY_CURRENT_USER\Software).
    const std::string& RegistryKey() const { return m_registryKey; }

private:
    // Roots the framework's own settings at `key` ("maker\application").
    // One definition per platform.
    void SetRegistryKey(const std::string& key);

    // log4cplus stays initialised while the logger is held: the initializer
    // is built before the logger and outlives it.
    log4cplus::Initializer m_logInitializer;
    log4cplus::Logger m_logger;
    std::string m_registryKey;
};

// The one application object, built during static initialisation.
extern COrvelConfiguratorApp theApp;
