#pragma once

// The platform's types the window's operations are written in.

#include <cstdint>

#ifdef _WIN32
// The SDK defines RGB and GetRValue... as macros; they give way to the
// functions below, which compute the same values.
#include <windows.h>
#undef RGB
#undef GetRValue
#undef GetGValue
#undef GetBValue
#endif

namespace MfcExtControl {

// A colour as the device tables give it: 0x00BBGGRR.
typedef std::uint32_t COLORREF;
typedef unsigned int UINT;
typedef std::uintptr_t UINT_PTR;

constexpr COLORREF RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b)
{
    return static_cast<COLORREF>(r) | (static_cast<COLORREF>(g) << 8) | (static_cast<COLORREF>(b) << 16);
}

constexpr std::uint8_t GetRValue(COLORREF c) { return static_cast<std::uint8_t>(c); }
constexpr std::uint8_t GetGValue(COLORREF c) { return static_cast<std::uint8_t>(c >> 8); }
constexpr std::uint8_t GetBValue(COLORREF c) { return static_cast<std::uint8_t>(c >> 16); }

} // namespace MfcExtControl
