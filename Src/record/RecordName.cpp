#include "RecordName.h"

#include <algorithm>
#include <cstring>

namespace record {

namespace {

bool IsDigits(const std::string& text, std::size_t from, std::size_t count)
{
    return from + count <= text.size() &&
           std::all_of(text.begin() + from, text.begin() + from + count, [](char c) { return c >= '0' && c <= '9'; });
}

bool EndsWith(const std::string& text, const char* end)
{
    const std::size_t size = std::strlen(end);
    return text.size() >= size && text.compare(text.size() - size, size, end) == 0;
}

// "-yyyymmdd-HHMMSS" at `at`, then nothing or "-<n>" (n from 2, no leading 0).
bool IsStampAndNumber(const std::string& base, std::size_t at)
{
    const std::size_t stampSize = 16;
    if (base.size() < at + stampSize || base[at] != '-' || !IsDigits(base, at + 1, 8) || base[at + 9] != '-' ||
        !IsDigits(base, at + 10, 6))
        return false;
    const std::size_t rest = at + stampSize;
    if (rest == base.size())
        return true;
    const std::size_t digits = base.size() - rest - 1;
    return base[rest] == '-' && digits > 0 && digits <= 9 && IsDigits(base, rest + 1, digits) &&
           base[rest + 1] != '0' && base.substr(rest + 1) != "1";
}

} // namespace

bool IsDeviceName(const std::string& device)
{
    return !device.empty() && std::all_of(device.begin(), device.end(), [](char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    });
}

std::string RecordBaseName(const std::string& device, const std::string& stamp, unsigned n)
{
    std::string base = device + "-" + stamp;
    if (n >= 2)
        base += "-" + std::to_string(n);
    return base;
}

bool ParseRecordFileName(const std::string& fileName, std::string& base, bool& isBytes)
{
    isBytes = EndsWith(fileName, kBytesExtension);
    if (!isBytes && !EndsWith(fileName, kTimesExtension))
        return false;
    const std::string name =
        fileName.substr(0, fileName.size() - std::strlen(isBytes ? kBytesExtension : kTimesExtension));
    const std::size_t dash = name.find('-');
    if (dash == std::string::npos || !IsDeviceName(name.substr(0, dash)) || !IsStampAndNumber(name, dash))
        return false;
    base = name;
    return true;
}

} // namespace record
