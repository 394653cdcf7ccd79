#include "ReadWorkers.h"

#include <boost/asio/post.hpp>

namespace serialport {

boost::asio::io_service::id CReadWorkers::id;
thread_local CReadWorkers::Worker* CReadWorkers::t_currentWorker = nullptr;

CReadWorkers::CReadWorkers(boost::asio::io_service& ioService)
    : boost::asio::io_service::service(ioService)
    , m_work(boost::asio::make_work_guard(ioService))
{
}

// shutdown() has run by now: the io_service calls it before destroying
// its services.
CReadWorkers::~CReadWorkers() = default;

void CReadWorkers::AddClient()
{
    JoinFinishedWorkers();
    const std::lock_guard<std::mutex> lock(m_mutex);
    ++m_clients;
    m_pool.emplace_back(this);
    Worker& worker = m_pool.back();
    try {
        worker.thread = std::thread(&CReadWorkers::Run, this, &worker);
    } catch (...) {
        m_pool.pop_back();
        throw;
    }
    ++m_workers;
}

void CReadWorkers::RemoveClient()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    --m_clients;
    if (m_workers > m_clients) {
        --m_workers;
        boost::asio::post(get_io_context(), [this] { OnRetire(); });
    }
}

bool CReadWorkers::Serving() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_workers > 0;
}

void CReadWorkers::shutdown()
{
    m_work.reset();
    get_io_context().stop();
    std::list<Worker> pool;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        pool.swap(m_pool);
        m_workers = 0;
    }
    for (Worker& worker : pool) {
        if (worker.thread.joinable())
            worker.thread.join();
    }
}

void CReadWorkers::Run(Worker* self)
{
    t_currentWorker = self;
    boost::asio::io_service& ioService = get_io_context();
    while (!self->leaving && !ioService.stopped())
        ioService.run_one();
    const std::lock_guard<std::mutex> lock(m_mutex);
    self->finished = true;
}

void CReadWorkers::OnRetire()
{
    // Any thread running the service may pick this up. A worker leaves; a
    // thread lent by a closing port (no worker serving) passes it on.
    if (t_currentWorker != nullptr && t_currentWorker->owner == this)
        t_currentWorker->leaving = true;
    else
        boost::asio::post(get_io_context(), [this] { OnRetire(); });
}

void CReadWorkers::JoinFinishedWorkers()
{
    std::list<Worker> finished;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_pool.begin(); it != m_pool.end();) {
            const auto next = std::next(it);
            if (it->finished)
                finished.splice(finished.end(), m_pool, it);
            it = next;
        }
    }
    for (Worker& worker : finished)
        worker.thread.join();
}

} // namespace serialport
