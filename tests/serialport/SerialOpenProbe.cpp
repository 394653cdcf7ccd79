// serial_open_probe <port>
// Opens <port> with a CSerialPort in a process of its own and prints "opened"
// or "busy".
#include "SerialPort.h"

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc < 2)
        return 2;
    boost::asio::io_service ioService;
    serialport::CSerialPort port(ioService, serialport::CSerialPort::ReceiveCallback());
    const bool opened = port.Open(argv[1], 9600);
    std::printf("%s\n", opened ? "opened" : "busy");
    port.Close();
    return opened ? 0 : 1;
}
