#include "clipboard/PasteSequence.h"

#include "clipboard/ClipboardWriter.h"
#include "clipboard/Keystroke.h"
#include "logging/Logging.h"

#include <QCoro/QCoroFuture>
#include <QPointer>
#include <QPromise>

#include <memory>

namespace orv {

namespace {

// Resumes after `delay`; the job lives in the coroutine's frame while it waits.
QCoro::Task<> wait(Scheduler& scheduler, std::chrono::milliseconds delay) {
    auto promise = std::make_shared<QPromise<void>>();
    QFuture<void> done = promise->future();
    promise->start();
    const auto job = scheduler.after(delay, [promise] { promise->finish(); });
    co_await done;
}

// The window the keys are for is in front: that one, or another of the same application (a dialog
// it raised), never ours.
bool isBack(const Workspace& workspace, const RunningApplication& previous) {
    const auto front = workspace.frontmostApplication();
    if (!front || front->bundleIdentifier == Workspace::ownBundleIdentifier) {
        return false;
    }
    return front->window == previous.window ||
           (previous.processId != 0 && front->processId == previous.processId);
}

// Resumes once `previous` is active again, seen from the workspace's notifications, or after
// `limit`; true when it is. A workspace that cannot tell is taken at its word.
QCoro::Task<bool> waitUntilBack(Workspace& workspace, Scheduler& scheduler,
                                const RunningApplication& previous,
                                std::chrono::milliseconds limit) {
    struct Waiting {
        QPromise<void> promise;
        bool over = false;
        void end() {
            if (!over) {
                over = true;
                promise.finish();
            }
        }
    };
    auto waiting = std::make_shared<Waiting>();
    QFuture<void> done = waiting->promise.future();
    waiting->promise.start();
    const auto watch = workspace.watchActivation([&workspace, previous, waiting] {
        if (isBack(workspace, previous)) {
            waiting->end();
        }
    });
    if (!watch) {
        co_return true;
    }
    if (isBack(workspace, previous)) {
        co_return true;
    }
    qCDebug(lcPaste) << "waiting for" << previous.localizedName.value_or(QString())
                     << "to be active again";
    const auto job = scheduler.after(limit, [waiting] { waiting->end(); });
    co_await done;
    const bool back = isBack(workspace, previous);
    if (back) {
        qCDebug(lcPaste) << "active again:" << previous.localizedName.value_or(QString());
    } else {
        qCInfo(lcPaste) << "not active again in time, no keys:"
                        << previous.localizedName.value_or(QString());
    }
    co_return back;
}

}  // namespace

PasteSequence::PasteSequence(Services services, QObject* parent)
    : QObject(parent), m_services(services) {}

QCoro::Task<> PasteSequence::run(Clip clip, bool autoPaste,
                                 std::optional<RunningApplication> previous) {
    QPointer<PasteSequence> self(this);
    const Outcome outcome = co_await paste(std::move(clip), autoPaste, std::move(previous));
    if (self) {
        emit finished(outcome);
    }
}

QCoro::Task<PasteSequence::Outcome> PasteSequence::paste(
    Clip clip, bool autoPaste, std::optional<RunningApplication> previous) {
    const Services services = m_services;
    try {
        services.monitor.writeOwn(clip);
    } catch (const std::exception& error) {
        co_return Outcome{Outcome::Kind::failed, QString::fromUtf8(error.what())};
    }
    emit written();
    const Outcome byHand{Outcome::Kind::pasteByHand, pasteByHandHint};
    if (!autoPaste) {
        co_return Outcome{};
    }
    if (!services.injector.isAvailable()) {
        co_return byHand;
    }
    co_await wait(services.scheduler, activationDelay);
    const bool activating = previous && services.workspace.activate(*previous);
    co_await wait(services.scheduler, keystrokeDelay);
    if (!services.trust.isTrusted()) {
        co_return Outcome{Outcome::Kind::permissions, {}};
    }
    // Keys posted now would go to whatever still has the focus, or nowhere.
    if (activating && !co_await waitUntilBack(services.workspace, services.scheduler, *previous,
                                              activationLimit)) {
        co_return byHand;
    }
    const auto chord = Keystroke::pasteChord(services.workspace.frontmostApplication());
    if (chord.pastesPrimary && services.primary) {
        // Shift+Insert would otherwise paste whatever was selected last.
        try {
            ClipboardWriter::write(clip, *services.primary);
        } catch (const std::exception& error) {
            co_return Outcome{Outcome::Kind::failed, QString::fromUtf8(error.what())};
        }
    }
    co_return Keystroke::post(services.injector, chord) ? Outcome{} : byHand;
}

}  // namespace orv
