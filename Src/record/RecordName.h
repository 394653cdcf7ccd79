#pragma once

// The names of a record's files, in the records folder:
//   <device>-<yyyymmdd-HHMMSS>[-<n>].log     the bytes, as received
//   <device>-<yyyymmdd-HHMMSS>[-<n>].times   the times (TimesCodec.h)
// <device> is the channel's key name ("SnsPort"), letters and digits only;
// the stamp is the local time the channel opened; "-2", "-3" ... set apart
// records of one device opened within one second. Retention touches only
// files named so.

#include <string>

namespace record {

constexpr char kBytesExtension[] = ".log";
constexpr char kTimesExtension[] = ".times";

// Letters and digits, at least one.
bool IsDeviceName(const std::string& device);

// "<device>-<stamp>", or "<device>-<stamp>-<n>" for n of 2 and more.
std::string RecordBaseName(const std::string& device, const std::string& stamp, unsigned n);

// The record a file name belongs to: its base name, and whether it is the
// bytes file. False for any other name.
bool ParseRecordFileName(const std::string& fileName, std::string& base, bool& isBytes);

} // namespace record
