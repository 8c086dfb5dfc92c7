#pragma once

#include "clipboard/ClipboardMonitor.h"
#include "commands/CommandLine.h"
#include "model/ClipRecorder.h"
#include "model/PreferencesStore.h"
#include "platform/PlatformServices.h"
#include "platform/Workspace.h"
#include "store/ClipHistory.h"
#include "store/ClipListFilter.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <variant>

namespace orv {

// What a subcommand gives back: the exit status (0 done, 1 failure, 2 usage), the bytes for
// standard output and, on failure, the Spanish message for standard error.
struct CommandResult {
    int status = 0;
    QByteArray output;
    QString message;
};

// Runs the subcommands (`orvantide list`, `get 42`, …) and the desktop's actions against the
// running instance, for the single-instance socket and D-Bus alike. The history is only awaited,
// so the palette never waits for a command. Main thread only.
class Commands : public QObject {
    Q_OBJECT

public:
    struct Services {
        ClipHistory& history;
        PreferencesStore& preferences;
        ClipRecorder& recorder;
        ClipboardMonitor& monitor;
        const Workspace& workspace;
        // What each desktop service goes through now, as the permissions window lists it.
        std::function<PlatformServices::Mechanisms()> mechanisms = {};
    };

    explicit Commands(Services services, QObject* parent = nullptr);

    // `arguments` as after the program's name; `input` is standard input (for `add`).
    QCoro::Task<CommandResult> run(QStringList arguments, QByteArray input);
    QCoro::Task<CommandResult> run(CommandLine::Request request, QByteArray input);

    // The desktop's actions: "toggle", "preferences" and "clear" (which asks first). False for
    // any other name.
    bool activate(const QString& action);

signals:
    void toggleRequested();
    void settingsRequested();
    void clearRequested();
    void permissionsRequested();
    // `orvantide quit`, answered before the program ends.
    void quitRequested();

private:
    QCoro::Task<CommandResult> list(CommandLine::Request request);
    QCoro::Task<CommandResult> get(qint64 id);
    QCoro::Task<CommandResult> copy(qint64 id);
    QCoro::Task<CommandResult> add(QByteArray input, QString type);
    QCoro::Task<CommandResult> status(bool json);
    QCoro::Task<CommandResult> remove(qint64 id);
    QCoro::Task<CommandResult> setPinned(qint64 id, bool pinned);
    QCoro::Task<CommandResult> clear();
    // The clip of `id`, read whole; otherwise the answer to give (closing, a store failure, no
    // such clip).
    QCoro::Task<std::variant<Clip, CommandResult>> storedClip(qint64 id);

    Services m_services;
};

}  // namespace orv
