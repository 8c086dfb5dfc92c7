#pragma once

#include <QObject>

class QCoreApplication;
class QSocketNotifier;

namespace orv {

// Turns SIGTERM, SIGINT and SIGHUP (a logout, Ctrl+C, a closed terminal) into a clean quit of the
// event loop, so that everything is torn down as after "Salir": the history closes and folds its
// log into the database. The handler only writes a byte to a socket pair; the quit happens on the
// main thread when the event loop reads it.
class QuitSignals : public QObject {
public:
    // Installs the handlers for the life of `app`, which owns the object.
    static QuitSignals* install(QCoreApplication* app);
    ~QuitSignals() override;

private:
    explicit QuitSignals(QObject* parent);
    void quit();

    int m_read = -1;
    int m_write = -1;
    QSocketNotifier* m_notifier = nullptr;
};

}  // namespace orv
