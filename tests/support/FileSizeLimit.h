#pragma once

// A limit on the size of the files this process writes, for a scope: a
// record then stops at it as on a full disk. Linux only (RLIMIT_FSIZE; a
// record ignores SIGXFSZ); elsewhere Set() says it cannot.

#include <cstdint>

namespace testsupport {

class CFileSizeLimit
{
public:
    CFileSizeLimit() = default;
    ~CFileSizeLimit();
    CFileSizeLimit(const CFileSizeLimit&) = delete;
    CFileSizeLimit& operator=(const CFileSizeLimit&) = delete;

    // False when no limit can be set here.
    bool Set(std::uint64_t bytes);

private:
    bool m_set = false;
    std::uint64_t m_old = 0;
};

} // namespace testsupport
