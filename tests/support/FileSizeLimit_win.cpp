#include "FileSizeLimit.h"

namespace testsupport {

// Windows has no limit of a process's file sizes.
bool CFileSizeLimit::Set(std::uint64_t)
{
    return false;
}

CFileSizeLimit::~CFileSizeLimit() = default;

} // namespace testsupport
