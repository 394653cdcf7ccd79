#include "BeaconReceiver.h"

#include <cmath>
#include <cstdlib>
#include <optional>

namespace devsim {

namespace {

// The station found by automatic tuning.
constexpr int kStationFrequencyTenths = 2985;
constexpr int kStationBitRate = 100;

// The beacon band, in tenths of kHz; stations sit on 0.5 kHz steps.
constexpr int kLowestFrequencyTenths = 2835;
constexpr int kHighestFrequencyTenths = 3250;

const char* const kHelp =
    "Beacon receiver commands:\r\n"
    "  $PCSI,0                 this help\r\n"
    "  $PCSI,1,<port>          port status\r\n"
    "  $PCSI,6                 reboot\r\n"
    "  $PCSI,8,<key>,E         board reset to factory settings\r\n"
    "  $GPMSK,<kHz>,M|A,<bps>,M|A  tuning\r\n"
    "  $GPCRQ,MSK              tuning query\r\n"
    "  $GPCRQ,MSS              signal query\r\n";

const char* const kStartedText = "Beacon receiver started\r\n";

constexpr double kPi = 3.14159265358979323846;

std::string Ack(const std::string& what)
{
    return nmea::Sentence("PCSI,ACK," + what);
}

std::string Nak(const std::string& address, const char* reason)
{
    return nmea::Sentence("PCSI,NAK," + address + "," + reason);
}

// "311.0", "311", "311.5" in the beacon band on a 0.5 kHz step.
std::optional<int> FrequencyTenths(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double kHz = std::strtod(text.c_str(), &end);
    if (*end != '\0')
        return std::nullopt;
    const long tenths = std::lround(kHz * 10.0);
    if (std::fabs(kHz * 10.0 - static_cast<double>(tenths)) > 1e-6 || tenths % 5 != 0 ||
        tenths < kLowestFrequencyTenths || tenths > kHighestFrequencyTenths)
        return std::nullopt;
    return static_cast<int>(tenths);
}

std::optional<int> BitRate(const std::string& text)
{
    for (const int rate : {25, 50, 100, 200}) {
        if (text == std::to_string(rate))
            return rate;
    }
    return std::nullopt;
}

std::string Kilohertz(int tenths)
{
    return nmea::Fixed1(tenths / 10.0);
}

} // namespace

CBeaconReceiver::CBeaconReceiver()
{
    RestoreFactoryTuning();
}

std::string CBeaconReceiver::Answer(const std::string& line)
{
    const auto sentence = nmea::Parse(line);
    if (!sentence)
        return {};
    const std::string& address = sentence->m_address;
    if (sentence->m_checksum == nmea::ChecksumState::Invalid)
        return Nak(address, "CHECKSUM");
    if (address == "PCSI")
        return AnswerPcsi(*sentence);
    if (address == "GPMSK")
        return AnswerTuning(*sentence);
    if (address == "GPCRQ")
        return AnswerQuery(*sentence);
    return {};
}

std::string CBeaconReceiver::Tick(const CUtcTime&)
{
    ++m_seconds;
    return {};
}

std::string CBeaconReceiver::AnswerPcsi(const nmea::CReceivedSentence& sentence)
{
    const std::vector<std::string>& f = sentence.m_fields;
    if (f.size() == 1 && f[0] == "0")
        return Ack("0") + kHelp;
    if (f.size() == 2 && f[0] == "1") {
        if (f[1] != "1" && f[1] != "2")
            return Nak(sentence.m_address, "PORT");
        return nmea::Sentence("PCSI,1," + f[1] + ",9600,8,N,1,RTCM");
    }
    if (f.size() == 1 && f[0] == "6")
        return Ack("6") + kStartedText;
    if (f.size() == 3 && f[0] == "8") {
        if (f[1] != kResetKey || f[2] != "E")
            return Nak(sentence.m_address, "KEY");
        RestoreFactoryTuning();
        return Ack("8") + kStartedText;
    }
    return {};
}

// $GPMSK,<kHz>,<M|A>,<bps>,<M|A>[,<interval>]: a manual setting needs its
// value, an automatic one ignores it. Nothing changes unless all is valid.
std::string CBeaconReceiver::AnswerTuning(const nmea::CReceivedSentence& sentence)
{
    const std::vector<std::string>& f = sentence.m_fields;
    const auto refuse = [&] { return Nak(sentence.m_address, "FORMAT"); };
    if (f.size() != 4 && f.size() != 5)
        return refuse();
    if ((f[1] != "M" && f[1] != "A") || (f[3] != "M" && f[3] != "A"))
        return refuse();

    const bool manualFrequency = f[1] == "M";
    const bool manualBitRate = f[3] == "M";
    const auto frequency = manualFrequency ? FrequencyTenths(f[0]) : std::optional<int>(kStationFrequencyTenths);
    const auto bitRate = manualBitRate ? BitRate(f[2]) : std::optional<int>(kStationBitRate);
    if (!frequency || !bitRate)
        return refuse();

    m_manualFrequency = manualFrequency;
    m_frequencyTenths = *frequency;
    m_manualBitRate = manualBitRate;
    m_bitRate = *bitRate;
    return TuningSentence();
}

std::string CBeaconReceiver::AnswerQuery(const nmea::CReceivedSentence& sentence) const
{
    const std::vector<std::string>& f = sentence.m_fields;
    if (f.size() == 1 && f[0] == "MSK")
        return TuningSentence();
    if (f.size() == 1 && f[0] == "MSS")
        return SignalSentence();
    return Nak(sentence.m_address, "QUERY");
}

std::string CBeaconReceiver::TuningSentence() const
{
    return nmea::Sentence("CRMSK," + Kilohertz(m_frequencyTenths) + "," + (m_manualFrequency ? "M" : "A") + "," +
                          std::to_string(m_bitRate) + "," + (m_manualBitRate ? "M" : "A") + ",0");
}

// The signal swells and fades by a few dB over minutes.
std::string CBeaconReceiver::SignalSentence() const
{
    const double phase = 2.0 * kPi * static_cast<double>(m_seconds) / 300.0;
    const long strength = std::lround(48.0 + 4.0 * std::sin(phase));
    const long snr = std::lround(18.0 + 3.0 * std::sin(phase + 1.0));
    return nmea::Sentence("CRMSS," + std::to_string(strength) + "," + std::to_string(snr) + "," +
                          Kilohertz(m_frequencyTenths) + "," + std::to_string(m_bitRate));
}

void CBeaconReceiver::RestoreFactoryTuning()
{
    m_manualFrequency = false;
    m_frequencyTenths = kStationFrequencyTenths;
    m_manualBitRate = false;
    m_bitRate = kStationBitRate;
}

} // namespace devsim
