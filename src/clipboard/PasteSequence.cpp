#include "clipboard/PasteSequence.h"

#include "clipboard/ClipboardWriter.h"
#include "clipboard/Keystroke.h"

#include <QCoro/QCoroFuture>
#include <QPromise>

#include <memory>

namespace orv {

namespace PasteSequence {

namespace {

// Resumes after `delay`; the job lives in the coroutine's frame while it waits.
QCoro::Task<> wait(Scheduler& scheduler, std::chrono::milliseconds delay) {
    auto promise = std::make_shared<QPromise<void>>();
    QFuture<void> done = promise->future();
    promise->start();
    const auto job = scheduler.after(delay, [promise] { promise->finish(); });
    co_await done;
}

}  // namespace

QCoro::Task<> run(Clip clip, Services services, Host& host) {
    try {
        ClipboardWriter::write(clip, services.pasteboard);
    } catch (const std::exception& error) {
        host.report(QString::fromUtf8(error.what()));
        co_return;
    }
    services.monitor.suppressCurrentChange();
    const bool autoPaste = host.autoPaste();
    const auto previous = host.previousApplication();
    host.closePalette();
    if (!autoPaste) {
        co_return;
    }
    if (!services.injector.isAvailable()) {
        host.pasteByHand(pasteByHandHint);
        co_return;
    }
    co_await wait(services.scheduler, activationDelay);
    if (previous) {
        services.workspace.activate(*previous);
    }
    co_await wait(services.scheduler, keystrokeDelay);
    if (!services.trust.isTrusted()) {
        host.showPermissions();
        co_return;
    }
    const auto chord = Keystroke::pasteChord(services.workspace.frontmostApplication());
    if (chord.pastesPrimary && services.primary) {
        // Shift+Insert would otherwise paste whatever was selected last.
        try {
            ClipboardWriter::write(clip, *services.primary);
        } catch (const std::exception& error) {
            host.report(QString::fromUtf8(error.what()));
            co_return;
        }
    }
    if (!Keystroke::post(services.injector, chord)) {
        host.pasteByHand(pasteByHandHint);
    }
}

}  // namespace PasteSequence

}  // namespace orv
