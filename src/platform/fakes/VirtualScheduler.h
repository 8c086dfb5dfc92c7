#pragma once

#include "platform/Scheduler.h"

#include <map>
#include <memory>
#include <utility>

namespace orv {

// Delayed jobs in virtual time: nothing runs until the test advances the clock.
class VirtualScheduler : public Scheduler {
public:
    std::unique_ptr<Job> after(std::chrono::milliseconds delay,
                               std::function<void()> action) override {
        auto pending = std::make_shared<Pending>(Pending{std::move(action), false});
        m_queue.emplace(std::make_pair(m_now + delay, m_sequence++), pending);
        return std::make_unique<Handle>(pending);
    }

    // Runs, in time order, every job due within `span`, including jobs those jobs schedule.
    void advance(std::chrono::milliseconds span) {
        const auto end = m_now + span;
        while (!m_queue.empty() && m_queue.begin()->first.first <= end) {
            auto entry = m_queue.begin();
            m_now = entry->first.first;
            const auto pending = entry->second;
            m_queue.erase(entry);
            if (!pending->cancelled) {
                pending->cancelled = true;
                const auto action = pending->action;
                action();
            }
        }
        m_now = end;
    }

    std::chrono::milliseconds now() const { return m_now; }
    size_t pendingCount() const {
        size_t count = 0;
        for (const auto& [key, pending] : m_queue) {
            count += pending->cancelled ? 0 : 1;
        }
        return count;
    }

private:
    struct Pending {
        std::function<void()> action;
        bool cancelled;
    };
    class Handle : public Job {
    public:
        explicit Handle(std::shared_ptr<Pending> pending) : m_pending(std::move(pending)) {}
        ~Handle() override { cancel(); }
        void cancel() override { m_pending->cancelled = true; }

    private:
        std::shared_ptr<Pending> m_pending;
    };

    std::chrono::milliseconds m_now{0};
    long m_sequence = 0;
    std::multimap<std::pair<std::chrono::milliseconds, long>, std::shared_ptr<Pending>> m_queue;
};

}  // namespace orv
