#pragma once

#include "FileDescriptor.h"

#include <string>
#include <vector>

namespace devsim {

// Wakes the simulator when a watched device file is opened, so that waiting
// for a reader costs nothing while nobody comes. (A pseudo-terminal master
// whose slave is closed reports a hang-up at every poll, so polling it for
// the reader's arrival would spin.)
class COpenWatcher
{
public:
    COpenWatcher();

    int Fd() const { return m_inotify.Get(); }

    // Returns the watch's number. Throws std::system_error.
    int Watch(const std::string& path);
    void Unwatch(int watch);

    // The watches that saw an open since the last call; does not block.
    std::vector<int> TakeOpened();

private:
    CFileDescriptor m_inotify;
};

} // namespace devsim
