#include "platform/xdg/TimerScheduler.h"

#include <QPointer>
#include <QTimer>

namespace orv {

namespace {

class TimerJob : public Scheduler::Job {
public:
    TimerJob(std::chrono::milliseconds delay, std::function<void()> action) : m_timer(new QTimer) {
        m_timer->setSingleShot(true);
        QObject::connect(m_timer, &QTimer::timeout, m_timer, std::move(action));
        m_timer->start(delay);
    }
    // The handle may go while its own timer is delivering, so the timer goes later.
    ~TimerJob() override {
        if (m_timer) {
            m_timer->stop();
            m_timer->deleteLater();
        }
    }
    void cancel() override {
        if (m_timer) {
            m_timer->stop();
        }
    }

private:
    QPointer<QTimer> m_timer;
};

}  // namespace

std::unique_ptr<Scheduler::Job> TimerScheduler::after(std::chrono::milliseconds delay,
                                                      std::function<void()> action) {
    return std::make_unique<TimerJob>(delay, std::move(action));
}

}  // namespace orv
