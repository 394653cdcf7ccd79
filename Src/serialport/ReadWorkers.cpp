#include "ReadWorkers.h"

#include <boost/asio/post.hpp>
#include <boost/bind/bind.hpp>

namespace serialport {

boost::asio::io_context::id CReadWorkers::id;
thread_local CReadWorkers::Worker* CReadWorkers::t_currentWorker = nullptr;

CReadWorkers::CReadWorkers(boost::asio::io_context& ioContext)
    : boost::asio::io_context::service(ioContext)
    , m_work(boost::asio::make_work_guard(ioContext))
{
}

// shutdown() has run by now: the io_service calls it before destroying
// its services.
CReadWorkers::~CReadWorkers() = default;

void CReadWorkers::AddClient()
{
    JoinFinishedWorkers();
    boost::unique_lock<boost::mutex> lock(m_mutex);
    ++m_clients;
    m_pool.emplace_back(this);
    Worker& worker = m_pool.back();
    try {
        worker.thread = boost::thread(&CReadWorkers::Run, this, &worker);
    } catch (...) {
        m_pool.pop_back();
        throw;
    }
    ++m_workers;
}

void CReadWorkers::RemoveClient()
{
    boost::unique_lock<boost::mutex> lock(m_mutex);
    --m_clients;
    if (m_workers > m_clients) {
        --m_workers;
        boost::asio::post(get_io_context(), boost::bind(&CReadWorkers::OnRetire, this));
    }
}

bool CReadWorkers::Serving() const
{
    boost::unique_lock<boost::mutex> lock(m_mutex);
    return m_workers > 0;
}

void CReadWorkers::shutdown()
{
    m_work.reset();
    get_io_context().stop();
    std::list<Worker> pool;
    {
        boost::unique_lock<boost::mutex> lock(m_mutex);
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
    boost::asio::io_context& ioContext = get_io_context();
    while (!self->leaving && !ioContext.stopped())
        ioContext.run_one();
    boost::unique_lock<boost::mutex> lock(m_mutex);
    self->finished = true;
}

void CReadWorkers::OnRetire()
{
    // Any thread running the service may pick this up. A worker leaves; a
    // thread lent by a closing port (no worker serving) passes it on.
    if (t_currentWorker != nullptr && t_currentWorker->owner == this)
        t_currentWorker->leaving = true;
    else
        boost::asio::post(get_io_context(), boost::bind(&CReadWorkers::OnRetire, this));
}

void CReadWorkers::JoinFinishedWorkers()
{
    std::list<Worker> finished;
    {
        boost::unique_lock<boost::mutex> lock(m_mutex);
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
