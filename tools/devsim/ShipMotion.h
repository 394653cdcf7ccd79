#pragma once

#include <string>

namespace devsim {

// A ship sailing slow circles in the Gulf of Finland: 12 knots, the heading
// turning one full circle an hour with a little yaw, the course over ground
// set off the heading by a small current. Deterministic: the same number of
// steps always gives the same state.
class CShipMotion
{
public:
    CShipMotion();

    // Moves the ship on by one second.
    void Step();

    double Latitude() const { return m_latitude; }   // degrees, north positive
    double Longitude() const { return m_longitude; } // degrees, east positive
    double Heading() const;                          // degrees true, [0, 360)
    double Course() const;                           // course over ground, [0, 360)
    double SpeedKnots() const { return m_speedKnots; }

private:
    double m_latitude;
    double m_longitude;
    double m_speedKnots;
    long m_seconds = 0;
};

// Latitude as the two NMEA fields "ddmm.mmmm,N" (or S).
std::string NmeaLatitude(double degrees);
// Longitude as the two NMEA fields "dddmm.mmmm,E" (or W).
std::string NmeaLongitude(double degrees);

// `degrees` brought into [0, 360).
double NormalAngle(double degrees);

} // namespace devsim
