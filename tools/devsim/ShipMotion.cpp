#include "ShipMotion.h"

#include <cmath>
#include <cstdio>

namespace devsim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kStartHeading = 250.0;  // degrees
constexpr double kTurnPerSecond = 0.1;   // degrees: one circle an hour
constexpr double kYawAmplitude = 1.5;    // degrees
constexpr double kYawPeriod = 17.0;      // seconds
constexpr double kCurrentSet = 1.2;      // degrees between heading and course

double Radians(double degrees) { return degrees * kPi / 180.0; }

// Degrees and minutes with four decimals, rounded as a whole so that
// 59.99996 minutes becomes the next degree rather than "60.0000".
std::string DegreesMinutes(double degrees, int degreeDigits, char positive, char negative)
{
    const char hemisphere = degrees < 0 ? negative : positive;
    const long long tenThousandths = std::llround(std::fabs(degrees) * 60.0 * 10000.0);
    const long long wholeDegrees = tenThousandths / (60 * 10000);
    const long long minuteTicks = tenThousandths % (60 * 10000);
    char text[32];
    std::snprintf(text, sizeof text, "%0*lld%02lld.%04lld,%c", degreeDigits, wholeDegrees,
                  minuteTicks / 10000, minuteTicks % 10000, hemisphere);
    return text;
}

} // namespace

CShipMotion::CShipMotion()
    : m_latitude(59.9500)
    , m_longitude(29.5000)
    , m_speedKnots(12.0)
{
}

void CShipMotion::Step()
{
    const double course = Radians(Course());
    const double nauticalMiles = m_speedKnots / 3600.0;
    m_latitude += nauticalMiles * std::cos(course) / 60.0;
    m_longitude += nauticalMiles * std::sin(course) / (60.0 * std::cos(Radians(m_latitude)));
    ++m_seconds;
}

double CShipMotion::Heading() const
{
    const double yaw = kYawAmplitude * std::sin(2.0 * kPi * static_cast<double>(m_seconds) / kYawPeriod);
    return NormalAngle(kStartHeading + kTurnPerSecond * static_cast<double>(m_seconds) + yaw);
}

double CShipMotion::Course() const
{
    return NormalAngle(kStartHeading + kTurnPerSecond * static_cast<double>(m_seconds) + kCurrentSet);
}

std::string NmeaLatitude(double degrees)
{
    return DegreesMinutes(degrees, 2, 'N', 'S');
}

std::string NmeaLongitude(double degrees)
{
    return DegreesMinutes(degrees, 3, 'E', 'W');
}

double NormalAngle(double degrees)
{
    const double angle = std::fmod(degrees, 360.0);
    return angle < 0 ? angle + 360.0 : angle;
}

} // namespace devsim
