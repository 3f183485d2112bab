#include "server/storagepool.h"

#include "server/storage.h"

namespace server {

StoragePool::StoragePool(const DatabaseUrl& url, int threads, int waitMs, int maxWaiting)
    : m_maxWaiting(size_t(maxWaiting)) {
    m_shared->running = threads;
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back(&StoragePool::work, m_shared, url, waitMs);
}

StoragePool::~StoragePool() {
    stop();
}

bool StoragePool::run(Job job) {
    {
        std::lock_guard lock(m_shared->mutex);
        if (m_shared->stopping || m_shared->jobs.size() >= m_maxWaiting)
            return false;
        m_shared->jobs.push_back(std::move(job));
    }
    m_shared->wake.notify_one();
    return true;
}

bool StoragePool::stop(int graceMs) {
    bool ended = false;
    {
        std::unique_lock lock(m_shared->mutex);
        m_shared->stopping = true;
        m_shared->jobs.clear();
        m_shared->wake.notify_all();
        ended = m_shared->ended.wait_for(lock, std::chrono::milliseconds(graceMs),
                                         [this] { return m_shared->running == 0; });
    }
    for (std::thread& thread : m_threads)
        if (ended)
            thread.join();
        else
            thread.detach();
    m_threads.clear();
    return ended;
}

void StoragePool::work(std::shared_ptr<Shared> shared, DatabaseUrl url, int waitMs) {
    {
        Storage storage(url, waitMs);
        for (;;) {
            Job job;
            {
                std::unique_lock lock(shared->mutex);
                shared->wake.wait(lock, [&] { return shared->stopping || !shared->jobs.empty(); });
                if (shared->stopping)
                    break;
                job = std::move(shared->jobs.front());
                shared->jobs.pop_front();
            }
            job(storage);
        }
    }
    std::lock_guard lock(shared->mutex);
    --shared->running;
    shared->ended.notify_all();
}

} // namespace server
