#pragma once

#include <boost/asio/executor_work_guard.hpp>
#include <boost/asio/io_service.hpp>

#include <cstddef>
#include <list>
#include <mutex>
#include <thread>

namespace serialport {

// The threads that serve one io_service for its serial ports, kept as a
// service of that io_service so that they live exactly as long as it does.
//
// Every port that starts reading becomes a client and starts one worker.
// When a client's last completion has been handled it stops being a client,
// and while there are more workers than clients one worker leaves. A work
// guard keeps the scheduler from ever running out of work, so it never stops
// by itself and never needs a reset. When the io_service is destroyed,
// shutdown() lets the scheduler stop and joins every worker: no worker
// outlives the io_service, and none runs while asio tears its services down.
//
// Obtain it with boost::asio::use_service<CReadWorkers>() once a serial_port
// exists on the io_service, so that it shuts down before the reactor.
class CReadWorkers : public boost::asio::io_service::service
{
public:
    static boost::asio::io_service::id id;

    explicit CReadWorkers(boost::asio::io_service& ioService);
    ~CReadWorkers() override;

    // One more port reads: counts it and starts a worker for it. If no thread
    // can be started, raises std::system_error; the port stays counted and
    // is served once any worker runs.
    void AddClient();

    // A port has handled its last completion: retires one worker if more are
    // left than ports need.
    void RemoveClient();

    // Whether a worker thread serves the service (and keeps doing so while
    // any client is counted).
    bool Serving() const;

private:
    struct Worker
    {
        explicit Worker(CReadWorkers* service) : owner(service) {}
        CReadWorkers* const owner;
        std::thread thread;
        bool leaving = false;  // touched only by the worker's own thread
        bool finished = false; // guarded by m_mutex
    };

    void shutdown() override;
    void Run(Worker* self);
    void OnRetire();
    void JoinFinishedWorkers();

    // The worker the current thread is, if it is one.
    static thread_local Worker* t_currentWorker;

    boost::asio::executor_work_guard<boost::asio::io_service::executor_type> m_work;
    mutable std::mutex m_mutex;
    std::list<Worker> m_pool;   // every started thread, until it is joined
    std::size_t m_workers = 0;  // workers not yet told to leave
    std::size_t m_clients = 0;  // ports with reads in progress
};

} // namespace serialport
