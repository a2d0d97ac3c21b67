#include "ConnectionWorkers.h"

#include <algorithm>
#include <cstdio>
#include <system_error>

namespace notchora::answerd {

ConnectionWorkers::ConnectionWorkers(std::size_t keptWorkers, std::size_t maxWorkers,
                                     std::chrono::milliseconds idleTimeout)
    : m_keptWorkers(keptWorkers), m_maxWorkers(std::max<std::size_t>({1, keptWorkers, maxWorkers})),
      m_idleTimeout(idleTimeout) {}

ConnectionWorkers::~ConnectionWorkers() {
    shutdown();
}

void ConnectionWorkers::enqueue(std::function<void()> task) {
    std::unique_lock lock(m_mutex);
    joinEnded();
    m_tasks.push_back(std::move(task));
    // Every idle worker may already be claimed by a task queued just before this one.
    if (m_tasks.size() <= m_idle || m_workers >= m_maxWorkers) {
        m_wake.notify_one();
        return;
    }
    try {
        m_threads.emplace_back([this] { work(); });
        ++m_workers;
        return;
    } catch (const std::system_error& error) {
        std::fprintf(stderr, "notchora-answerd: no new worker thread: %s\n", error.what());
    }
    if (m_workers > 0) {
        // The task waits for a worker that is already there.
        m_wake.notify_one();
        return;
    }
    // No worker at all: serve it here rather than leave its socket open forever.
    std::function<void()> only = std::move(m_tasks.back());
    m_tasks.pop_back();
    lock.unlock();
    only();
}

void ConnectionWorkers::shutdown() {
    std::vector<std::thread> threads;
    {
        std::unique_lock lock(m_mutex);
        m_shuttingDown = true;
        m_wake.notify_all();
        m_ended.wait(lock, [this] { return m_workers == 0; });
        threads = std::move(m_threads);
        m_threads.clear();
        m_endedIds.clear();
    }
    for (std::thread& thread : threads)
        thread.join();
}

std::size_t ConnectionWorkers::workerCount() const {
    std::lock_guard lock(m_mutex);
    return m_workers;
}

void ConnectionWorkers::joinEnded() {
    for (const std::thread::id id : m_endedIds) {
        const auto ended = std::find_if(m_threads.begin(), m_threads.end(),
                                        [id](const std::thread& t) { return t.get_id() == id; });
        if (ended == m_threads.end())
            continue;
        // It has left work() and only has to return: joining here cannot wait for long.
        ended->join();
        m_threads.erase(ended);
    }
    m_endedIds.clear();
}

void ConnectionWorkers::work() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        ++m_idle;
        const bool woken = m_wake.wait_for(lock, m_idleTimeout,
                                           [this] { return !m_tasks.empty() || m_shuttingDown; });
        --m_idle;
        if (m_tasks.empty()) {
            if (m_shuttingDown || (!woken && m_workers > m_keptWorkers))
                break;
            continue;
        }
        std::function<void()> task = std::move(m_tasks.front());
        m_tasks.pop_front();
        lock.unlock();
        task();
        task = nullptr;
        lock.lock();
    }
    --m_workers;
    m_endedIds.push_back(std::this_thread::get_id());
    m_ended.notify_all();
}

} // namespace notchora::answerd
