#pragma once

#include "Device.h"
#include "Nmea.h"
#include "ShipMotion.h"

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace devsim {

// The satellite navigation receiver. It sends GGA, RMC and HDT once a second
// by default (GST on request) for a ship under way, and understands the three
// command dialects of the receivers it stands in for:
//   text commands   "log COM1 gpgga ontime 1", "log com1 gpgst ontime 1",
//                   "com com1 115200 n 8 1 n off on", "Saveconfig"
//                   (case-insensitive; answered "<OK" or "<ERROR:<reason>")
//   NMEA sentences  $PORZA / $PNVGRZA (port setup), $PORZB (output list),
//                   $POCFG,W (save), $POCFG,E (reset to the default output)
//                   (answered $POACK,<address>,A or $POACK,<address>,V,<reason>).
// A request starts a sentence or changes its period; "$PORZB" alone stops all
// of them. A sentence with a wrong checksum is refused with reason CHECKSUM.
// Anything else is ignored without an answer, so the device's own output
// looped back to it (a port left in echo mode) starts no endless exchange.
class CGnssReceiver : public CDevice
{
public:
    enum class Output { Gga, Rmc, Hdt, Gst }; // the order within one second
    static constexpr std::size_t kOutputCount = 4;
    static constexpr int kMaxPeriod = 3600;   // seconds

    CGnssReceiver();

    const char* Name() const override { return "gnss"; }
    std::string Answer(const std::string& line) override;
    std::string Tick(const CUtcTime& now) override;

private:
    static std::size_t Index(Output output) { return static_cast<std::size_t>(output); }

    std::string AnswerText(const std::string& line);
    std::string AnswerLog(const std::vector<std::string>& words);
    std::string AnswerSentence(const nmea::CReceivedSentence& sentence);
    std::string AnswerOutputList(const nmea::CReceivedSentence& sentence);

    void RestoreDefaultOutput();
    void SetPeriod(Output output, int seconds);
    std::string Format(Output output, const CUtcTime& now) const;

    CShipMotion m_ship;
    std::array<int, kOutputCount> m_period{}; // seconds between two sentences; 0: not sent
    std::array<int, kOutputCount> m_dueIn{}; // ticks until the next sentence
};

} // namespace devsim
