// 5000 clipboard changes from xclip at 20 a second, with "Clips máximos" at 100: the program must
// capture at every polling tick (a new value is there each time), keep 100 rows, keep one image
// file pair per image row, and hold its memory, measured from its start and every 500 changes.
// Prints its figures; exits 1 when a check fails.
#include "LongRun.h"
#include "support/ProgramReady.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QThread>

#include <cstdio>

#include <sqlite3.h>

using namespace orv;

namespace {

int failures = 0;

void check(bool ok, const QString& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
    failures += ok ? 0 : 1;
}

// The longest gap between consecutive capture times of the rows kept, in milliseconds.
qint64 longestGap() {
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(LongRun::database()).constData(), &db, SQLITE_OPEN_READONLY,
                    nullptr);
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT created_at FROM clips ORDER BY created_at", -1, &statement,
                       nullptr);
    qint64 previous = -1;
    qint64 longest = 0;
    while (sqlite3_step(statement) == SQLITE_ROW) {
        const qint64 at = sqlite3_column_int64(statement, 0);
        if (previous >= 0) {
            longest = std::max(longest, at - previous);
        }
        previous = at;
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return longest;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QString program = app.arguments().value(1);
    const int changes = app.arguments().value(2, "5000").toInt();

    const QString config = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                           "/com.quarnelbrisk.orvantide";
    QDir().mkpath(config);
    QFile defaults(config + "/defaults.json");
    defaults.open(QIODevice::WriteOnly);
    defaults.write(R"({"maxItems": 100})");
    defaults.close();

    QProcess* running = LongRun::launch(program);
    check(answersList(program, QProcessEnvironment::systemEnvironment()), "the program answers");
    const qint64 pid = running->processId();
    const qint64 rssAtStart = LongRun::residentKb(pid);
    std::printf("resident memory at the start: %lld kB\n", static_cast<long long>(rssAtStart));
    qint64 rssAt500 = -1;
    qint64 rssHalfway = -1;
    qint64 gapAt500 = -1;
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < changes; ++i) {
        if (i % 50 == 25) {
            LongRun::copy(LongRun::picture(64, 48, i), "image/png");
        } else {
            LongRun::copy("cambio " + QByteArray::number(i), "UTF8_STRING");
        }
        // 20 changes a second, whatever xclip itself took.
        const qint64 due = (i + 1) * 50;
        const qint64 wait = due - clock.elapsed();
        if (wait > 0) {
            QThread::msleep(quint64(wait));
        }
        if ((i + 1) % 500 == 0) {
            const qint64 rss = LongRun::residentKb(pid);
            std::printf("after %5d changes: %lld kB (%+lld kB from the start)\n", i + 1,
                        static_cast<long long>(rss), static_cast<long long>(rss - rssAtStart));
            std::fflush(stdout);
            rssAt500 = rssAt500 < 0 ? rss : rssAt500;
            rssHalfway = i + 1 <= changes / 2 ? rss : rssHalfway;
        }
        if (i + 1 == 500) {
            gapAt500 = longestGap();
        }
    }
    QThread::msleep(1500);
    const qint64 rssAtEnd = LongRun::residentKb(pid);
    const double seconds = clock.elapsed() / 1000.0;
    const QString rows = LongRun::query("SELECT count(*) FROM clips");
    const int imageRows = LongRun::query("SELECT count(*) FROM clips WHERE kind = 'image'").toInt();
    const qsizetype pictures =
        QDir(LongRun::imageFolder()).entryList({"*.png"}, QDir::Files).size();
    const qint64 gapAtEnd = longestGap();

    std::printf("%d changes in %.1f s (%.1f a second)\n", changes, seconds, changes / seconds);
    std::printf(
        "resident memory at the start: %lld kB, after 500 changes: %lld kB, halfway: %lld "
        "kB, at the end: %lld kB (growth %lld kB from the start, %lld kB over the second "
        "half)\n",
        static_cast<long long>(rssAtStart), static_cast<long long>(rssAt500),
        static_cast<long long>(rssHalfway), static_cast<long long>(rssAtEnd),
        static_cast<long long>(rssAtEnd - rssAtStart),
        static_cast<long long>(rssAtEnd - rssHalfway));
    std::printf("longest gap between kept captures: %lld ms after 500, %lld ms at the end\n",
                static_cast<long long>(gapAt500), static_cast<long long>(gapAtEnd));
    std::printf("rows %s, image rows %d, image files %lld\n", qPrintable(rows), imageRows,
                static_cast<long long>(pictures));

    check(running->state() == QProcess::Running, "the program is still running");
    check(rows == "100", "rows stay at 100 (nothing pinned)");
    check(pictures == 2 * imageRows, "one image and one thumbnail file per image row");
    // Every tick finds a new value, so consecutive captures are one tick (0.45 s) apart; two
    // ticks apart means a capture was lost.
    check(gapAtEnd < 900 && gapAt500 < 900, "a capture at every tick: no gap of two ticks");
    check(rssAtStart > 0 && rssAtEnd - rssAtStart <= 10 * 1024,
          "memory within 10 MB of its level at the start");
    check(rssHalfway > 0 && rssAtEnd - rssHalfway <= 2 * 1024,
          "no growth over the second half beyond 2 MB");

    running->kill();
    running->waitForFinished(5000);
    delete running;
    return failures == 0 ? 0 : 1;
}
