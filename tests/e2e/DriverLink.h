#pragma once

#include <chrono>
#include <map>
#include <stdexcept>
#include <string>
#include <sys/types.h>
#include <vector>

namespace e2e {

using std::chrono::milliseconds;

// The driver inside the program refused a request; what() is its reason.
struct DriverRefusal : std::runtime_error
{
    using std::runtime_error::runtime_error;
};

// The test's end of the line to the operator driver (driver/Wire.h): a Unix
// socket the driver connects to when the program starts. Requests carry an
// identifier, so one can wait for its answer while others are served (a click
// that opens a modal dialog is answered when the dialog closes).
class CDriverLink
{
public:
    // Listens at `socketPath` (removed again with this object).
    explicit CDriverLink(std::string socketPath);
    ~CDriverLink();
    CDriverLink(const CDriverLink&) = delete;
    CDriverLink& operator=(const CDriverLink&) = delete;

    const std::string& SocketPath() const { return m_path; }

    // Takes the connection of a starting program's driver (dropping any
    // earlier one) and returns the process id it greets with.
    pid_t Accept(milliseconds ceiling);

    // Sends a request; returns its identifier.
    int Send(const std::string& verb, const std::vector<std::string>& arguments = {});
    // The answer's fields after "ok". Throws DriverRefusal for an "error"
    // answer, std::runtime_error at the ceiling or when the line is lost.
    std::vector<std::string> Await(int request, milliseconds ceiling);
    std::vector<std::string> Call(const std::string& verb, const std::vector<std::string>& arguments = {},
                                  milliseconds ceiling = milliseconds(60000));

private:
    bool ReadMessage(std::vector<std::string>& fields, std::chrono::steady_clock::time_point deadline);
    void Disconnect();

    std::string m_path;
    int m_listener = -1;
    int m_connection = -1;
    std::string m_buffer;
    int m_nextRequest = 1;
    std::map<int, std::vector<std::string>> m_answers;
};

} // namespace e2e
