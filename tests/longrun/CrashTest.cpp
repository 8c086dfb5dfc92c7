// Kills the program with SIGKILL in the middle of a burst of 500 copies (texts and large images),
// starts it again, and checks that the history survived: the database opens and passes
// PRAGMA integrity_check, every image row has its file, and the only files without a row are those
// of the capture that was in flight. Prints its figures; exits 1 when a check fails.
#include "LongRun.h"
#include "support/TestImages.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>

#include <csignal>
#include <cstdio>

#include <sqlite3.h>

namespace {

int failures = 0;

void check(bool ok, const char* what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", what);
    failures += ok ? 0 : 1;
}

QSet<QString> imageRows() {
    QSet<QString> paths;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(LongRun::database()).constData(), &db, SQLITE_OPEN_READONLY,
                    nullptr);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT image FROM clips WHERE image IS NOT NULL", -1, &statement,
                       nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        paths.insert(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return paths;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString program = app.arguments().value(1);
    QProcess* running = LongRun::launch(program);
    QThread::msleep(1500);

    // The kill lands somewhere in the middle of the burst, right after a large picture was copied
    // and at a random moment of the tick that stores it.
    const int killAt = 3 * (70 + int(QRandomGenerator::global()->bounded(30)));
    const QByteArray photo = LongRun::picture(1600, 1200, 7);
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 500; ++i) {
        if (i % 3 == 0) {
            LongRun::copy(TestImages::withText(photo, QByteArray::number(i)), "image/png");
        } else {
            LongRun::copy("texto número " + QByteArray::number(i), "UTF8_STRING");
        }
        QThread::msleep(100);
        if (i == killAt) {
            QThread::msleep(quint64(QRandomGenerator::global()->bounded(500)));
            ::kill(pid_t(running->processId()), SIGKILL);
            running->waitForFinished(5000);
            std::printf("killed after %d copies, %.1f s into the burst\n", i + 1,
                        clock.elapsed() / 1000.0);
            break;
        }
    }
    const QSet<QString> beforeRestart = imageRows();
    const QStringList filesBefore = QDir(LongRun::imageFolder()).entryList(QDir::Files);
    std::printf("rows before restart: %s, image rows %lld, image files %lld\n",
                qPrintable(LongRun::query("SELECT count(*) FROM clips")),
                static_cast<long long>(beforeRestart.size()),
                static_cast<long long>(filesBefore.size()));

    // Start again; the start removes files older than the newest row that no row names.
    QProcess* again = LongRun::launch(program);
    QThread::msleep(2500);
    check(again->state() == QProcess::Running, "the program starts again after the crash");
    check(LongRun::query("PRAGMA integrity_check") == "ok", "PRAGMA integrity_check says ok");
    const QSet<QString> rows = imageRows();
    int missing = 0;
    QSet<QString> named;
    for (const QString& path : rows) {
        missing += QFileInfo::exists(path) ? 0 : 1;
        named.insert(QFileInfo(path).fileName());
        named.insert(QFileInfo(path).completeBaseName() + ".thumb.png");
    }
    check(missing == 0, "every image row has its file");
    int orphans = 0;
    for (const QString& file : QDir(LongRun::imageFolder()).entryList(QDir::Files)) {
        orphans += named.contains(file) ? 0 : 1;
    }
    std::printf("rows after restart: %s, image rows %lld, files without a row %d\n",
                qPrintable(LongRun::query("SELECT count(*) FROM clips")),
                static_cast<long long>(rows.size()), orphans);
    check(orphans <= 2,
          "files without a row are at most the capture in flight (image + thumbnail)");

    again->kill();
    again->waitForFinished(5000);
    delete again;
    delete running;
    return failures == 0 ? 0 : 1;
}
