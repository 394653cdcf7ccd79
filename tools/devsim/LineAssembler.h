#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace devsim {

// Collects received bytes into command lines. A line ends with LF; a CR just
// before it is dropped, so "\r\n" and "\n" both end a line. A line may arrive
// split over any number of reads. A line longer than the limit is garbage (no
// command of any device comes near it): it is thrown away up to its LF, which
// keeps the buffer bounded whatever a peer sends.
class CLineAssembler
{
public:
    static constexpr std::size_t kMaxLine = 256;

    // Returns the lines completed by these bytes, in order, without line ends.
    std::vector<std::string> Feed(const char* data, std::size_t size);

    // Forgets a partly received line (the peer went away).
    void Reset();

private:
    std::string m_partial;
    bool m_discarding = false;
};

} // namespace devsim
