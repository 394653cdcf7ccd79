#include "WinePort.h"

#include <cstdlib>

namespace testsupport {

std::pair<std::string, std::string> WinePort(const char* variable)
{
    const char* mapped = std::getenv(variable);
    const std::string value = mapped ? mapped : "";
    const std::size_t equals = value.find('=');
    if (equals == std::string::npos)
        return {};
    return {value.substr(0, equals), "Z:" + value.substr(equals + 1)};
}

} // namespace testsupport
