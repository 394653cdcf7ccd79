#include "RegKey.h"

#include "Stores.h"

#include <utility>

namespace registry {

// The file store (Stores.h): one root, HKEY_CURRENT_USER, and every key
// readable and writable, so the parent and the access asked for do not count.
LONG CRegKey::Reach(HKEY /*hKeyParent*/, const char* keyName, REGSAM /*samDesired*/, bool create)
{
    std::shared_ptr<detail::KeyTree> tree = detail::UserKeyTree();
    std::int64_t key = 0;
    const LONG result = tree->OpenKey(detail::KeyTree::kRoot, keyName, create, key);
    if (result == ERROR_SUCCESS) {
        m_tree = std::move(tree);
        m_key = key;
    }
    return result;
}

LONG CRegKey::Close()
{
    m_tree.reset();
    return ERROR_SUCCESS;
}

LONG CRegKey::Read(const char* valueName, RegValue& value)
{
    return m_tree ? m_tree->QueryValue(m_key, valueName ? valueName : "", value) : ERROR_INVALID_HANDLE;
}

LONG CRegKey::SetValue(const char* valueName, DWORD dwType, const void* pValue, DWORD nBytes)
{
    if (!m_tree)
        return ERROR_INVALID_HANDLE;
    const RegValue value{valueName ? valueName : "", dwType, std::string(static_cast<const char*>(pValue), nBytes)};
    return m_tree->SetValue(m_key, value);
}

} // namespace registry
