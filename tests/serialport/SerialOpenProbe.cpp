// serial_open_probe <port> [hold]
// Opens <port> with a CSerialPort and prints "opened" or "busy". With "hold",
// keeps the port open until its standard input closes.
#include "SerialPort.h"

#include <cstdio>
#include <cstring>
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
    if (opened && argc > 2 && std::strcmp(argv[2], "hold") == 0) {
        char ignored[64];
        while (::read(STDIN_FILENO, ignored, sizeof ignored) > 0) {
        }
    }
    port.Close();
    return opened ? 0 : 1;
}
