// The Windows entry point: a GUI program (linked with -mwindows -municode).

#include "CommandLine.h"
#include "OrvelConfiguratorApp.h"

#include <Cp1251.h>

#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

const char kWhereThings[] =
    "Settings: HKEY_CURRENT_USER\\SOFTWARE\\Lunder\\Orvel4 (SnsPort, KksPort, SonPort).\n"
    "Start-up log: configured by log4cplus.conf in the current folder.\n";

// The arguments after the program's name.
std::vector<std::string> Arguments()
{
    int count = 0;
    wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    std::vector<std::string> args;
    for (int i = 1; argv && i < count; ++i)
        args.push_back(text::Utf16ToUtf8(reinterpret_cast<const char16_t*>(argv[i])));
    ::LocalFree(argv);
    return args;
}

// A GUI program has no console of its own: an answer asked for from a
// console goes to that console, unless standard output was redirected.
void WriteToTheCallersConsole()
{
    const HANDLE out = ::GetStdHandle(STD_OUTPUT_HANDLE);
    if ((out == nullptr || out == INVALID_HANDLE_VALUE) && ::AttachConsole(ATTACH_PARENT_PROCESS))
        std::freopen("CONOUT$", "w", stdout);
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    const std::vector<std::string> args = Arguments();
    if (!args.empty())
        WriteToTheCallersConsole();
    if (AnsweredOnTheCommandLine(args, kWhereThings))
        return AnswerExitStatus();

    // The classes of the dialog's controls (common controls 6, through the
    // manifest): structure size 8, the Windows 95 class set.
    static_assert(sizeof(INITCOMMONCONTROLSEX) == 8);
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&controls);
    theApp.InitInstance();
    return 0;
}
