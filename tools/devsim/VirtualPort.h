#pragma once

#include "FileDescriptor.h"

#include <string>

namespace devsim {

// One end of a simulated serial cable: a pseudo-terminal whose slave side is
// offered to programs through a symbolic link of a fixed name. Plugging in
// makes a new pseudo-terminal in raw mode and points the link at its slave;
// unplugging closes the master (reads on the slave then fail) and removes the
// link. The link name stays the same across plugs; the slave path changes.
class CVirtualPort
{
public:
    explicit CVirtualPort(std::string linkPath);
    ~CVirtualPort();
    CVirtualPort(const CVirtualPort&) = delete;
    CVirtualPort& operator=(const CVirtualPort&) = delete;

    // Throws std::system_error, or std::runtime_error when the link name is
    // taken by something other than a stale link to a pseudo-terminal.
    void Plug();
    void Unplug();

    bool IsPlugged() const { return m_master.IsOpen(); }
    int Master() const { return m_master.Get(); }
    const std::string& LinkPath() const { return m_linkPath; }
    const std::string& SlavePath() const { return m_slavePath; }

    // True while some process holds the slave side open.
    bool PeerPresent() const;

    // Throws away what was sent to the slave and not read before its last
    // reader closed it, so the next reader starts with fresh data as it
    // would on a real port.
    void DiscardUnread() const;

private:
    void PlaceLink() const;
    void RemoveLink() const;

    std::string m_linkPath;
    std::string m_slavePath;
    CFileDescriptor m_master;
};

// Makes `linkPath` free for a new link: nothing there is fine, and a
// symbolic link into /dev/pts/ is taken for a stale one of ours and removed.
// Anything else there throws std::runtime_error. Callers hold the folder's
// instance lock, so no live simulator owns such a link.
void ClaimLinkName(const std::string& linkPath);

} // namespace devsim
