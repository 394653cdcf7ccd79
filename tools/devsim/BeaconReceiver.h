#pragma once

#include "Device.h"
#include "Nmea.h"

#include <string>

namespace devsim {

// The differential-correction beacon receiver. It sends nothing by itself and
// answers these commands (checksums optional; a wrong one is refused):
//   $PCSI,0             help: "$PCSI,ACK,0" and indented text lines
//   $PCSI,1,<port>      status of port 1 or 2: "$PCSI,1,<port>,<baud>,8,N,1,RTCM"
//   $PCSI,6             reboot: "$PCSI,ACK,6" and a start-up text line; keeps the tuning
//   $PCSI,8,VOSKEL,E    board reset: as reboot, and back to automatic tuning
//   $GPMSK,<kHz>,<M|A>,<bps>,<M|A>[,<interval>]
//                       tuning: manual or automatic frequency and bit rate; answered
//                       with the new tuning as a $CRMSK sentence
//   $GPCRQ,MSK          tuning query:  $CRMSK,<kHz>,<M|A>,<bps>,<M|A>,0
//   $GPCRQ,MSS          signal query:  $CRMSS,<strength dB>,<SNR dB>,<kHz>,<bps>
// A known command with wrong arguments is refused: $PCSI,NAK,<address>,<reason>.
// All answers carry checksums. Lines of any other shape are ignored, so the
// receiver's own answers looped back to it start no endless exchange.
class CBeaconReceiver : public CDevice
{
public:
    static constexpr const char* kResetKey = "VOSKEL";

    CBeaconReceiver();

    const char* Name() const override { return "beacon"; }
    std::string Answer(const std::string& line) override;
    std::string Tick(const CUtcTime& now) override;

private:
    std::string AnswerPcsi(const nmea::CReceivedSentence& sentence);
    std::string AnswerTuning(const nmea::CReceivedSentence& sentence);
    std::string AnswerQuery(const nmea::CReceivedSentence& sentence) const;

    std::string TuningSentence() const;
    std::string SignalSentence() const;
    void RestoreFactoryTuning();

    bool m_manualFrequency = false;
    int m_frequencyTenths = 0; // kHz * 10, the frequency listened to
    bool m_manualBitRate = false;
    int m_bitRate = 0;         // bits per second
    long m_seconds = 0;        // drives the slow change of the signal
};

} // namespace devsim
