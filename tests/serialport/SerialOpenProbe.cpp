// serial_open_probe <port> [hold]
// Opens <port> with a CSerialPort in a process of its own; exits with 0 when
// it opened, 1 when it did not, and says which on standard output: "held",
// or "refused: <reason>". With "hold" it keeps the port until its standard
// input ends.
#include "ErrorText.h"
#include "SerialPort.h"

#include <cstdio>
#include <cstring>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 3)
        return 2;
    boost::asio::io_service ioService;
    serialport::CSerialPort port(ioService, serialport::CSerialPort::ReceiveCallback());
    if (!port.Open(argv[1], 9600)) {
        std::printf("refused: %s\n", serialport::PortErrorText(port.LastError()).c_str());
        return 1;
    }
    std::printf("held\n");
    std::fflush(stdout);
    if (argc == 3 && std::strcmp(argv[2], "hold") == 0) {
        char byte = 0;
        while (::read(STDIN_FILENO, &byte, 1) > 0) {
        }
    }
    return 0;
}
