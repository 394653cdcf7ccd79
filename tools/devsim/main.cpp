// orvel-devsim: the devices of a ship's navigation set on pseudo-terminals,
// for trying OrvelConfigurator without the hardware and for its tests.
// See Usage() in Options.cpp, or run it with --help.

#include "Demo.h"
#include "Options.h"
#include "PortFolders.h"
#include "Simulator.h"

#include <cstdlib>
#include <fcntl.h>
#include <iostream>

namespace {

// Standard input, output and error closed by whoever started the program
// would hand their numbers to the first pseudo-terminals, which would then be
// read as control lines and written with event lines.
void KeepStandardStreamsOpen()
{
    for (int fd = 0; fd <= 2; ++fd) {
        if (::fcntl(fd, F_GETFD) == -1 && ::open("/dev/null", O_RDWR) != fd)
            std::_Exit(1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    KeepStandardStreamsOpen();
    devsim::COptions options;
    try {
        options = devsim::ParseOptions(std::vector<std::string>(argv + 1, argv + argc));
    } catch (const devsim::CUsageError& error) {
        std::cerr << "orvel-devsim: " << error.what() << "\nTry orvel-devsim --help" << std::endl;
        return 2;
    }
    if (options.m_help) {
        std::cout << devsim::Usage();
        return 0;
    }
    if (options.m_folder.empty())
        options.m_folder = setting::VirtualPortFolder();

    try {
        if (options.m_demo)
            return devsim::RunDemo(options);
        devsim::CSimulator simulator(options);
        return simulator.Run();
    } catch (const std::exception& error) {
        std::cerr << "orvel-devsim: " << error.what() << std::endl;
        return 1;
    }
}
