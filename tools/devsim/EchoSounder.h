#pragma once

#include "Device.h"

#include <string>

namespace devsim {

// The echo sounder: DBT and DPT once a second over a slowly changing sea bed.
// It takes no commands; whatever it receives is ignored.
class CEchoSounder : public CDevice
{
public:
    static constexpr double kTransducerDepth = 0.5; // metres below the water line

    const char* Name() const override { return "sounder"; }
    std::string Answer(const std::string& line) override;
    std::string Tick(const CUtcTime& now) override;

    // Depth below the transducer now, metres.
    double Depth() const;

private:
    long m_seconds = 0;
};

} // namespace devsim
