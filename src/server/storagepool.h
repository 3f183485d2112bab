#pragma once

#include "server/databaseurl.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
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
    // Drops the jobs still waiting and waits up to `graceMs` for those under way; true when
    // every thread has ended. A thread stuck in a database call that never returns is left
    // behind rather than holding up the process.
    bool stop(int graceMs = 2000);

private:
    struct Shared {
        std::mutex mutex;
        std::condition_variable wake;
        std::condition_variable ended;
        std::deque<Job> jobs;
        bool stopping = false;
        int running = 0;
    };
    static void work(std::shared_ptr<Shared> shared, DatabaseUrl url, int waitMs);

    std::shared_ptr<Shared> m_shared = std::make_shared<Shared>();
    size_t m_maxWaiting;
    std::vector<std::thread> m_threads;
};

} // namespace server
