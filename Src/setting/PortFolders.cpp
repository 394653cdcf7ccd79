#include "PortFolders.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace setting {

namespace {

std::string Env(const char* name)
{
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string HomeFolder()
{
    std::string home = Env("HOME");
    if (home.empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()))
            home = pw->pw_dir;
    }
    return home;
}

} // namespace

std::string VirtualPortFolder()
{
    const std::string runtime = Env("XDG_RUNTIME_DIR");
    if (!runtime.empty())
        return runtime + "/orvel-ports";
    return "/tmp/orvel-ports-" + std::to_string(::getuid());
}

std::string UserConfigFolder()
{
    std::string config = Env("XDG_CONFIG_HOME");
    if (config.empty())
        config = HomeFolder() + "/.config";
    return config + "/OrvelConfigurator";
}

} // namespace setting
