#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <httplib.h>
#include <mutex>
#include <thread>
#include <vector>

namespace notchora::answerd {

// The service's connections, each on a worker thread of its own up to `maxWorkers`. A
// connection that sends its request slowly, or holds a long stream, then costs one sleeping
// thread instead of the turn of every request queued behind it (a fixed pool of 32 let 32
// slow clients stall the service). Workers beyond `keptWorkers` end once they have idled for
// `idleTimeout`, so a burst leaves no threads behind.
class ConnectionWorkers : public httplib::TaskQueue {
public:
    ConnectionWorkers(std::size_t keptWorkers, std::size_t maxWorkers,
                      std::chrono::milliseconds idleTimeout);
    ~ConnectionWorkers() override;
    ConnectionWorkers(const ConnectionWorkers&) = delete;
    ConnectionWorkers& operator=(const ConnectionWorkers&) = delete;

    void enqueue(std::function<void()> task) override;
    // Runs what is queued, then waits for every worker to end.
    void shutdown() override;

    std::size_t workerCount() const;

private:
    void work();
    // Joins the workers that have ended; called with m_mutex held.
    void joinEnded();

    const std::size_t m_keptWorkers;
    const std::size_t m_maxWorkers;
    const std::chrono::milliseconds m_idleTimeout;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_ended;
    std::deque<std::function<void()>> m_tasks;
    std::vector<std::thread> m_threads;
    std::vector<std::thread::id> m_endedIds;
    std::size_t m_workers = 0;
    std::size_t m_idle = 0;
    bool m_shuttingDown = false;
};

} // namespace notchora::answerd
