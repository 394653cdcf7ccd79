#include "OwnerOnly_win.h"

#include <sddl.h>

#include <string>
#include <vector>

namespace record {

namespace {

// The current user's SID as text ("S-1-5-21-..."); empty when it cannot be read.
std::string UserSid()
{
    HANDLE token = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token))
        return "";
    DWORD size = 0;
    ::GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<char> buffer(size);
    std::string sid;
    char* text = nullptr;
    if (size > 0 && ::GetTokenInformation(token, TokenUser, buffer.data(), size, &size) &&
        ::ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text)) {
        sid = text;
        ::LocalFree(text);
    }
    ::CloseHandle(token);
    return sid;
}

} // namespace

SecurityDescriptor OwnerOnlyDescriptor(bool forFolder, DWORD& error)
{
    const std::string sid = UserSid();
    if (sid.empty()) {
        error = ::GetLastError();
        return nullptr;
    }
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const std::string sddl = std::string(forFolder ? "D:P(A;OICI;FA;;;" : "D:P(A;;FA;;;") + sid + ")";
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl.c_str(), SDDL_REVISION_1, &descriptor,
                                                                nullptr)) {
        error = ::GetLastError();
        return nullptr;
    }
    return SecurityDescriptor(descriptor);
}

} // namespace record
