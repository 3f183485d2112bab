#include "server/storagepool.h"

#include "server/storage.h"

namespace server {

StoragePool::StoragePool(const DatabaseUrl& url, int threads, int waitMs, int maxWaiting)
    : m_url(url)
    , m_waitMs(waitMs)
    , m_maxWaiting(size_t(maxWaiting)) {
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back([this] { work(); });
}

StoragePool::~StoragePool() {
    stop();
}

bool StoragePool::run(Job job) {
    {
        std::lock_guard lock(m_mutex);
        if (m_stopping || m_jobs.size() >= m_maxWaiting)
            return false;
        m_jobs.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}

void StoragePool::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        m_jobs.clear();
    }
    m_wake.notify_all();
    for (std::thread& thread : m_threads)
        thread.join();
    m_threads.clear();
}

void StoragePool::work() {
    Storage storage(m_url, m_waitMs);
    for (;;) {
        Job job;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_stopping)
                return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        job(storage);
    }
}

} // namespace server
