#pragma once

#include "server/databaseurl.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace server {

class Storage;

// Worker threads that each own one database connection (Qt SQL connections belong to the thread
// that opened them), taking jobs in order. The HTTP thread never waits on the database.
class StoragePool {
public:
    using Job = std::function<void(Storage&)>;

    // `waitMs` as for Storage; at most `maxWaiting` jobs wait, so an outage cannot pile them up.
    StoragePool(const DatabaseUrl& url, int threads, int waitMs = 10000, int maxWaiting = 4096);
    ~StoragePool();

    // False when the job was not taken: too many wait already, or the pool is stopping.
    [[nodiscard]] bool run(Job job);
    // Finishes the jobs under way, drops the ones still waiting, and joins the threads.
    void stop();

private:
    void work();

    DatabaseUrl m_url;
    int m_waitMs;
    size_t m_maxWaiting;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<Job> m_jobs;
    bool m_stopping = false;
    std::vector<std::thread> m_threads;
};

} // namespace server
