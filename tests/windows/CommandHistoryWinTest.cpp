// The command history on the real registry: one REG_MULTI_SZ per channel in
// HKCU\SOFTWARE\Lunder\Orvel4\History\<device>, as any other program reads it.

#include "CommandHistory.h"

#include <gtest/gtest.h>

#include <windows.h>

using setting::CCommandHistory;
using Commands = std::vector<std::string>;

TEST(CommandHistoryWin, KeptAsAMultiStringAcrossRuns)
{
    const char key[] = "SOFTWARE\\Lunder\\Orvel4\\History\\KksPort";
    ::RegDeleteKeyA(HKEY_CURRENT_USER, key);
    const std::string letters = "\xCA\xEE\xEC\xE0\xED\xE4\xE0";  // Windows-1251 "Команда"
    {
        CCommandHistory history("KksPort");
        for (const std::string& command : {std::string("$GPMSK,0,A,0,A*0C"), letters, letters})
            history.Add(command);
    }
    EXPECT_EQ(CCommandHistory("KksPort").Commands(), (Commands{letters, "$GPMSK,0,A,0,A*0C"}));

    DWORD type = 0;
    char data[256] = {};
    DWORD size = sizeof data;
    ASSERT_EQ(::RegGetValueA(HKEY_CURRENT_USER, key, "Commands", RRF_RT_ANY, &type, data, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_MULTI_SZ));
    EXPECT_EQ(std::string(data, size), letters + '\0' + "$GPMSK,0,A,0,A*0C" + '\0' + '\0');
    ::RegDeleteKeyA(HKEY_CURRENT_USER, key);
}
