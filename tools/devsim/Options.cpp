#include "Options.h"

#include <cctype>

namespace devsim {

const char* const kDeviceNames[3] = {"gnss", "beacon", "sounder"};

namespace {

std::uint64_t Number(const std::string& text, const std::string& option)
{
    if (text.empty() || text.size() > 18)
        throw CUsageError(option + " wants a whole number, not \"" + text + "\"");
    std::uint64_t value = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            throw CUsageError(option + " wants a whole number, not \"" + text + "\"");
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

std::size_t Device(const std::string& name, const std::string& option)
{
    const auto index = DeviceIndex(name);
    if (!index)
        throw CUsageError(option + ": unknown device \"" + name + "\" (gnss, beacon or sounder)");
    return *index;
}

// DEVICE:AFTER:DOWN
CPullPlan PullPlan(const std::string& text)
{
    const std::size_t first = text.find(':');
    const std::size_t second = first == std::string::npos ? first : text.find(':', first + 1);
    if (second == std::string::npos)
        throw CUsageError("--pull wants DEVICE:AFTER:DOWN, not \"" + text + "\"");
    CPullPlan plan;
    plan.m_device = Device(text.substr(0, first), "--pull");
    const std::uint64_t after = Number(text.substr(first + 1, second - first - 1), "--pull");
    const std::uint64_t down = Number(text.substr(second + 1), "--pull");
    if (after > 86400 || down > 86400)
        throw CUsageError("--pull: at most a day (86400 s) each");
    plan.m_after = static_cast<unsigned>(after);
    plan.m_down = static_cast<unsigned>(down);
    return plan;
}

// DEVICE=RATE[,DEVICE=RATE...]
void BaudRates(const std::string& text, std::array<unsigned, 3>& rates)
{
    std::size_t from = 0;
    for (;;) {
        const std::size_t comma = text.find(',', from);
        const std::string item = text.substr(from, comma == std::string::npos ? comma : comma - from);
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos)
            throw CUsageError("--baud wants DEVICE=RATE[,DEVICE=RATE...], not \"" + text + "\"");
        const std::size_t device = Device(item.substr(0, equals), "--baud");
        const std::uint64_t rate = Number(item.substr(equals + 1), "--baud");
        if (rate == 0 || rate > 4000000)
            throw CUsageError("--baud wants a rate from 1 to 4000000");
        rates[device] = static_cast<unsigned>(rate);
        if (comma == std::string::npos)
            return;
        from = comma + 1;
    }
}

} // namespace

std::optional<std::size_t> DeviceIndex(const std::string& name)
{
    for (std::size_t i = 0; i < 3; ++i) {
        if (name == kDeviceNames[i])
            return i;
    }
    return std::nullopt;
}

COptions ParseOptions(const std::vector<std::string>& arguments)
{
    COptions options;
    bool deviceGiven = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& option = arguments[i];
        if (option == "--help" || option == "-h") {
            options.m_help = true;
            continue;
        }
        if (option == "--demo") {
            options.m_demo = true;
            continue;
        }
        if (i + 1 >= arguments.size())
            throw CUsageError(option.rfind("--", 0) == 0 && option != "--" ? option + " wants a value"
                                                                           : "unknown argument \"" + option + "\"");
        const std::string& value = arguments[++i];
        if (option == "--dir") {
            options.m_folder = value;
        } else if (option == "--prefix") {
            if (value.find('/') != std::string::npos)
                throw CUsageError("--prefix must not contain \"/\"");
            options.m_prefix = value;
        } else if (option == "--flood") {
            options.m_floodBytes = Number(value, "--flood");
        } else if (option == "--device") {
            options.m_floodDevice = Device(value, "--device");
            deviceGiven = true;
        } else if (option == "--pull") {
            options.m_pulls.push_back(PullPlan(value));
        } else if (option == "--corrupt") {
            const std::uint64_t every = Number(value, "--corrupt");
            if (every == 0 || every > 1000000)
                throw CUsageError("--corrupt wants a number from 1 to 1000000");
            options.m_corruptEvery = static_cast<unsigned>(every);
        } else if (option == "--baud") {
            BaudRates(value, options.m_baud);
        } else {
            throw CUsageError("unknown argument \"" + option + "\"");
        }
    }
    if (deviceGiven && !options.m_floodBytes)
        throw CUsageError("--device goes with --flood");
    return options;
}

std::string Usage()
{
    return R"(Usage: orvel-devsim [options]

Simulates the three serial devices of a ship's navigation set on
pseudo-terminals and offers them as port links in a folder:
  <folder>/<prefix>gnss     satellite navigation receiver: GGA, RMC, HDT once a
                            second; answers the Shark, Navis and Navitel commands
  <folder>/<prefix>beacon   beacon receiver: answers $PCSI, $GPMSK and $GPCRQ
  <folder>/<prefix>sounder  echo sounder: DBT and DPT once a second
Each link points to the slave side of a pseudo-terminal in raw mode. A device
talks at any baud rate unless --baud gives it one. Commands are lines ending in
CR LF (or LF).

Options:
  --dir FOLDER        folder of the links (default: $XDG_RUNTIME_DIR/orvel-ports,
                      or /tmp/orvel-ports-<uid>); created 0700 when missing
  --prefix TEXT       start of the link names (default "devsim-")
  --flood BYTES       the flooded device (see --device) sends nothing but BYTES
                      bytes of a test pattern, as fast as they are read, from
                      the moment a reader opens its port; then it falls silent
                      and "flood done BYTES" is printed. The pattern is 64-byte
                      lines: a ten-digit line number from 0, a space, 51
                      letters running on through the alphabet from
                      'A' + number % 26, then CR LF; the last line may be cut.
  --device DEVICE     the device --flood applies to: gnss (default), beacon
                      or sounder
  --pull DEVICE:AFTER:DOWN
                      AFTER seconds after start-up, pull the device's cable
                      (close its pseudo-terminal and remove its link) and put
                      it back DOWN seconds later on a new pseudo-terminal under
                      the same link name; may be given several times
  --corrupt N         every Nth sentence a device sends by itself goes out
                      with a digit changed, so that its checksum is wrong, as
                      a noisy cable would deliver it
  --baud DEVICE=RATE[,DEVICE=RATE...]
                      the device talks at RATE bit/s only: a pseudo-terminal
                      carries no rate, so the simulator reads the rate the
                      program has set on its end of the port whenever the
                      device sends or hears something, and while the two
                      differ, what the device sends arrives (and what it hears
                      is taken) as a UART at the wrong rate shows it: garbage,
                      bit by bit as 8N1 frames read at the other rate; may be
                      given several times
  --demo              try OrvelConfigurator without devices: start the
                      simulator, then the OrvelConfigurator that sits beside
                      this program, on settings of its own in a new
                      temporary folder where each channel already has its
                      simulated port, enabled: "Открыть" is all it takes.
                      Your own settings are left alone; the folder is
                      deleted, and the simulator stopped, when the window
                      closes. Needs a display.
  -h, --help          this text

Standard output, one line per event, flushed at once:
  ready gnss=<link> beacon=<link> sounder=<link>
                      all links are in place (absolute paths)
  pulled <device>     the device's cable is pulled: its link is gone and
                      reads on its old slave fail
  back <device> <slave>
                      the cable is back: the link points to the new slave
  opened <device>     a reader opened the device's port: output starts
  closed <device>     its last reader closed it: output stops until a reader
                      opens it again
  flood done <bytes>  the pty took the last byte of the flood

Control lines on standard input:
  pull DEVICE [SECONDS]   pull the cable; put it back after SECONDS if given
  plug DEVICE             put a pulled cable back
  quit                    remove the links and end
End of input just stops the reading of control lines.

The links are removed when the program ends by quit, Ctrl+C, SIGTERM or
SIGHUP. It refuses to start (message on standard error, exit status 1) when
the folder cannot be used or a link name is taken by anything but a stale
link of its own; wrong arguments give exit status 2.
)";
}

} // namespace devsim
