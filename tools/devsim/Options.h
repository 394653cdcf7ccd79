#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace devsim {

// The names of the three devices, in channel order.
extern const char* const kDeviceNames[3];

// Index of a device name in kDeviceNames, if it is one.
std::optional<std::size_t> DeviceIndex(const std::string& name);

// A planned cable pull: `after` seconds after start-up the device's cable is
// pulled, and `down` seconds later it is put back.
struct CPullPlan
{
    std::size_t m_device = 0;
    unsigned m_after = 0;
    unsigned m_down = 0;
};

struct COptions
{
    std::string m_folder;               // empty: the virtual-port folder
    std::string m_prefix = "devsim-";   // link names: <prefix>gnss, <prefix>beacon, <prefix>sounder
    std::optional<std::uint64_t> m_floodBytes;
    std::size_t m_floodDevice = 0;
    std::vector<CPullPlan> m_pulls;
    unsigned m_corruptEvery = 0;        // 0: every sentence intact
    std::array<unsigned, 3> m_baud{};   // per device; 0: any rate
    bool m_help = false;
    bool m_demo = false;                // run OrvelConfigurator on demo settings
};

class CUsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// Reads the command-line arguments (without the program name). Throws
// CUsageError for anything it does not understand.
COptions ParseOptions(const std::vector<std::string>& arguments);

// The text of --help.
std::string Usage();

} // namespace devsim
