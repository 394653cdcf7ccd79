#include "EchoSounder.h"

#include "Nmea.h"

#include <cmath>

namespace devsim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kFeetPerMetre = 3.2808399;
constexpr double kFathomsPerMetre = 0.5468066;
constexpr int kRangeScale = 100; // metres

} // namespace

std::string CEchoSounder::Answer(const std::string&)
{
    return {};
}

std::string CEchoSounder::Tick(const CUtcTime&)
{
    using nmea::Fixed1;
    ++m_seconds;
    const double depth = Depth();
    return nmea::Sentence("SDDBT," + Fixed1(depth * kFeetPerMetre) + ",f," + Fixed1(depth) + ",M," +
                          Fixed1(depth * kFathomsPerMetre) + ",F") +
           nmea::Sentence("SDDPT," + Fixed1(depth) + "," + Fixed1(kTransducerDepth) + "," +
                          std::to_string(kRangeScale));
}

// A long swell of the sea bed with ripples on it: between about 16 and 32 m.
double CEchoSounder::Depth() const
{
    const double t = static_cast<double>(m_seconds);
    return 24.0 + 6.0 * std::sin(2.0 * kPi * t / 240.0) + 1.5 * std::sin(2.0 * kPi * t / 37.0);
}

} // namespace devsim
