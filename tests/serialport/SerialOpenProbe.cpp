// serial_open_probe <port> [<release file>]
// Opens <port> with a CSerialPort and prints "opened" or "busy". Given a
// release file, keeps the port open until that file is gone.
#include "SerialPort.h"

#include <chrono>
#include <cstdio>
#include <thread>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    boost::asio::io_service ioService;
    serialport::CSerialPort port(ioService, serialport::CSerialPort::ReceiveCallback());
    const bool opened = port.Open(argv[1], 9600);
    std::printf("%s\n", opened ? "opened" : "busy");
    std::fflush(stdout);
    while (opened && argc > 2 && ::access(argv[2], F_OK) == 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    port.Close();
    return opened ? 0 : 1;
}
