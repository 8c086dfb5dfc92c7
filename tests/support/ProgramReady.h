#pragma once

// Start-up of the whole program, as a test waits for it: no fixed sleep, the event itself.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <sys/file.h>

namespace orv {

// Whether the program started with `environment` answers `orvantide list` within `limit` ms: its
// history is open, its clipboard watched and its commands served. The command would start an
// instance of its own where none holds the instance lock, so it is asked only once one does.
inline bool answersList(const QString& program, const QProcessEnvironment& environment,
                        int limit = 60000) {
    const QDir runtime(environment.value("XDG_RUNTIME_DIR"));
    const auto locked = [&] {
        for (const QString& name : runtime.entryList({"orvantide-*.socket.lock"}, QDir::Files)) {
            QFile lock(runtime.filePath(name));
            if (lock.open(QIODevice::ReadOnly) && ::flock(lock.handle(), LOCK_SH | LOCK_NB) != 0) {
                return true;
            }
        }
        return false;
    };
    const auto answers = [&] {
        QProcess list;
        list.setProcessEnvironment(environment);
        list.start(program, {"list", "--limit", "1"});
        return list.waitForStarted() &&
               QTest::qWaitFor([&] { return list.state() == QProcess::NotRunning; }, limit) &&
               list.exitStatus() == QProcess::NormalExit && list.exitCode() == 0;
    };
    return QTest::qWaitFor(locked, limit) && QTest::qWaitFor(answers, limit);
}

}  // namespace orv
