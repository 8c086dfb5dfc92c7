#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace orv {

// Runs delayed jobs on the main thread. A job runs once, after its delay, unless it was cancelled;
// destroying its handle cancels it.
class Scheduler {
public:
    class Job {
    public:
        virtual ~Job() = default;
        virtual void cancel() = 0;
    };

    virtual ~Scheduler() = default;
    [[nodiscard]] virtual std::unique_ptr<Job> after(std::chrono::milliseconds delay,
                                                     std::function<void()> action) = 0;
};

}  // namespace orv
