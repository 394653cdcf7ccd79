#include "GnssReceiver.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

namespace devsim {

namespace {

using Output = CGnssReceiver::Output;

constexpr Output kAllOutputs[] = {Output::Gga, Output::Rmc, Output::Hdt, Output::Gst};

const char* const kOk = "<OK\r\n";

std::string Error(const char* reason)
{
    return std::string("<ERROR:") + reason + "\r\n";
}

std::string Ack(const std::string& address)
{
    return nmea::Sentence("POACK," + address + ",A");
}

std::string Nak(const std::string& address, const char* reason)
{
    return nmea::Sentence("POACK," + address + ",V," + reason);
}

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::vector<std::string> Words(const std::string& line)
{
    std::istringstream in(Lower(line));
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

// A whole decimal number made of digits only, within [0, limit].
std::optional<long> Unsigned(const std::string& text, long limit)
{
    if (text.empty() || text.size() > 9)
        return std::nullopt;
    long value = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > limit)
        return std::nullopt;
    return value;
}

// "ontime" periods may be fractions of a second on a real receiver; this one
// sends at most once a second, so any period is rounded up to whole seconds.
std::optional<int> OntimePeriod(const std::string& text)
{
    char* end = nullptr;
    const double seconds = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !(seconds > 0.0) || seconds > CGnssReceiver::kMaxPeriod)
        return std::nullopt;
    return static_cast<int>(std::ceil(seconds));
}

std::optional<Output> LogName(const std::string& word)
{
    if (word == "gpgga") return Output::Gga;
    if (word == "gprmc") return Output::Rmc;
    if (word == "gphdt") return Output::Hdt;
    if (word == "gpgst") return Output::Gst;
    return std::nullopt;
}

std::optional<Output> SentenceName(const std::string& field)
{
    if (field == "GGA") return Output::Gga;
    if (field == "RMC") return Output::Rmc;
    if (field == "HDT") return Output::Hdt;
    if (field == "GST") return Output::Gst;
    return std::nullopt;
}

// Tenths of a degree in [0, 360): 359.96 is printed as "0.0", not "360.0".
std::string Angle(double degrees)
{
    const long tenths = std::lround(NormalAngle(degrees) * 10.0) % 3600;
    return nmea::Fixed1(tenths / 10.0);
}

} // namespace

CGnssReceiver::CGnssReceiver()
{
    RestoreDefaultOutput();
}

std::string CGnssReceiver::Answer(const std::string& line)
{
    if (!line.empty() && line.front() == '$') {
        const auto sentence = nmea::Parse(line);
        return sentence ? AnswerSentence(*sentence) : std::string();
    }
    return AnswerText(line);
}

std::string CGnssReceiver::Tick(const CUtcTime& now)
{
    m_ship.Step();
    std::string out;
    for (const Output output : kAllOutputs) {
        const std::size_t i = Index(output);
        if (m_period[i] == 0 || --m_dueIn[i] > 0)
            continue;
        m_dueIn[i] = m_period[i];
        out += Format(output, now);
    }
    return out;
}

std::string CGnssReceiver::AnswerText(const std::string& line)
{
    const std::vector<std::string> words = Words(line);
    if (words.empty())
        return {};
    const std::string& verb = words.front();
    if (verb == "log")
        return AnswerLog(words);
    if (verb == "saveconfig")
        return words.size() == 1 ? kOk : Error("Invalid syntax");
    if (verb == "com") {
        if (words.size() < 3)
            return Error("Invalid syntax");
        return Unsigned(words[2], 921600).value_or(0) > 0 ? kOk : Error("Invalid baud rate");
    }
    return {};
}

// log [port] <message> ontime <period> [offset]
std::string CGnssReceiver::AnswerLog(const std::vector<std::string>& words)
{
    const std::size_t name = (words.size() > 1 && LogName(words[1])) ? 1 : 2;
    if (words.size() < name + 3 || words.size() > name + 4)
        return Error("Invalid syntax");
    const auto output = LogName(words[name]);
    if (!output)
        return Error("Invalid message ID");
    if (words[name + 1] != "ontime")
        return Error("Invalid trigger");
    const auto period = OntimePeriod(words[name + 2]);
    if (!period)
        return Error("Invalid period");
    SetPeriod(*output, *period);
    return kOk;
}

std::string CGnssReceiver::AnswerSentence(const nmea::CReceivedSentence& sentence)
{
    const std::string& address = sentence.m_address;
    if (sentence.m_checksum == nmea::ChecksumState::Invalid)
        return Nak(address, "CHECKSUM");

    const std::vector<std::string>& fields = sentence.m_fields;
    if (address == "PORZA" || address == "PNVGRZA") {
        const bool valid = fields.size() == 3 && Unsigned(fields[0], 9) &&
                           Unsigned(fields[1], 921600).value_or(0) > 0 && Unsigned(fields[2], 9);
        return valid ? Ack(address) : Nak(address, "FORMAT");
    }
    if (address == "PORZB")
        return AnswerOutputList(sentence);
    if (address == "POCFG") {
        if (fields.size() == 1 && fields[0] == "W")
            return Ack(address);
        if (fields.size() == 1 && fields[0] == "E") {
            RestoreDefaultOutput();
            return Ack(address);
        }
        return Nak(address, "FORMAT");
    }
    return {};
}

// $PORZB[,<sentence>,<period>]...: no pairs stops every sentence; each pair
// starts its sentence or changes its period (0 stops it). Trailing empty
// fields are allowed. A list with any wrong pair changes nothing.
std::string CGnssReceiver::AnswerOutputList(const nmea::CReceivedSentence& sentence)
{
    std::vector<std::string> fields = sentence.m_fields;
    while (!fields.empty() && fields.back().empty())
        fields.pop_back();

    if (fields.empty()) {
        m_period.fill(0);
        return Ack(sentence.m_address);
    }
    if (fields.size() % 2 != 0)
        return Nak(sentence.m_address, "FORMAT");

    std::vector<std::pair<Output, int>> requests;
    for (std::size_t i = 0; i < fields.size(); i += 2) {
        const auto output = SentenceName(fields[i]);
        const auto period = Unsigned(fields[i + 1], kMaxPeriod);
        if (!output || !period)
            return Nak(sentence.m_address, "FORMAT");
        requests.emplace_back(*output, static_cast<int>(*period));
    }
    for (const auto& [output, period] : requests)
        SetPeriod(output, period);
    return Ack(sentence.m_address);
}

void CGnssReceiver::RestoreDefaultOutput()
{
    m_period.fill(0);
    SetPeriod(Output::Gga, 1);
    SetPeriod(Output::Rmc, 1);
    SetPeriod(Output::Hdt, 1);
}

// A newly requested period takes effect at the next tick.
void CGnssReceiver::SetPeriod(Output output, int seconds)
{
    m_period[Index(output)] = seconds;
    m_dueIn[Index(output)] = 1;
}

std::string CGnssReceiver::Format(Output output, const CUtcTime& now) const
{
    const std::string position = NmeaLatitude(m_ship.Latitude()) + "," + NmeaLongitude(m_ship.Longitude());
    switch (output) {
    case Output::Gga:
        return nmea::Sentence("GPGGA," + now.Hhmmss() + "," + position + ",1,10,0.8,12.3,M,17.5,M,,");
    case Output::Rmc:
        return nmea::Sentence("GPRMC," + now.Hhmmss() + ",A," + position + "," + nmea::Fixed1(m_ship.SpeedKnots()) +
                              "," + Angle(m_ship.Course()) + "," + now.Ddmmyy() + ",,,A");
    case Output::Hdt:
        return nmea::Sentence("GPHDT," + Angle(m_ship.Heading()) + ",T");
    case Output::Gst:
        return nmea::Sentence("GPGST," + now.Hhmmss() + ",0.9,1.2,0.8,35.0,0.9,0.7,1.5");
    }
    return {};
}

} // namespace devsim
