#pragma once

// A security descriptor whose DACL grants the current user alone full
// control, protected so that nothing is inherited from the folders above;
// for a folder, inherited by everything made in it.

#include <windows.h>

#include <memory>

namespace record {

struct LocalFreeDeleter
{
    void operator()(void* p) const { ::LocalFree(p); }
};
using SecurityDescriptor = std::unique_ptr<void, LocalFreeDeleter>;

// Null, with the system's error, when the user or the descriptor cannot be had.
SecurityDescriptor OwnerOnlyDescriptor(bool forFolder, DWORD& error);

} // namespace record
