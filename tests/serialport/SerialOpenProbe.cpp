// serial_open_probe <port>
// Opens <port> with a CSerialPort in a process of its own; exits with 0 when
// it opened, 1 when it did not.
#include "SerialPort.h"

int main(int argc, char** argv)
{
    boost::asio::io_service ioService;
    serialport::CSerialPort port(ioService, serialport::CSerialPort::ReceiveCallback());
    return argc == 2 && port.Open(argv[1], 9600) ? 0 : 1;
}
