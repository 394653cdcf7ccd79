#pragma once

#include <functional>

namespace testsupport {

// Runs `check` where permission bits count: here when this process is not
// root; as root (who opens whatever the bits say) in a copy of this test
// that has become "nobody", after `asRoot` has run there.
void AsUnprivileged(const std::function<void()>& check, const std::function<void()>& asRoot = {});

} // namespace testsupport
