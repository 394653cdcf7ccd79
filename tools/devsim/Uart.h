#pragma once

#include <string>
#include <string_view>

namespace devsim {

// What a UART set to `readRate` makes of `bytes` sent at `sentRate`, both
// ends 8 data bits, no parity, one stop bit, the line idle before and after.
// Bit by bit: the receiver waits for a falling edge, takes it for a start bit
// if the line is still low half a bit later, samples eight data bits and the
// stop bit in the middle of where it expects them, and delivers the byte
// whether the stop bit held or not (a framing error), as a tty in raw mode
// does; then it waits for the next edge. Equal rates, or rates close enough
// for the samples to stay within their bits (within about 5 %), give the
// bytes back; other rates give the garbage a wrong rate shows: deterministic,
// more bytes than sent when the reader is faster, fewer when it is slower.
std::string AsReceivedAt(std::string_view bytes, unsigned sentRate, unsigned readRate);

} // namespace devsim
