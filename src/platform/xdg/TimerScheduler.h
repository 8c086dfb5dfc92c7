#pragma once

#include "platform/Scheduler.h"

namespace orv {

// Delayed jobs on single-shot timers of the thread's event loop.
class TimerScheduler : public Scheduler {
public:
    std::unique_ptr<Job> after(std::chrono::milliseconds delay,
                               std::function<void()> action) override;
};

}  // namespace orv
