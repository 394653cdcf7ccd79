#include "FileSizeLimit.h"

#include <sys/resource.h>

namespace testsupport {

bool CFileSizeLimit::Set(std::uint64_t bytes)
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_FSIZE, &limit) != 0)
        return false;
    if (!m_set)
        m_old = limit.rlim_cur;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    m_set = ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
    return m_set;
}

CFileSizeLimit::~CFileSizeLimit()
{
    rlimit limit{};
    if (m_set && ::getrlimit(RLIMIT_FSIZE, &limit) == 0) {
        limit.rlim_cur = static_cast<rlim_t>(m_old);
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
}

} // namespace testsupport
