// Kills the program with SIGKILL again and again while it records a burst of copies (texts and
// large images), each time at another point: in the middle of recording an image (its file is
// written, its row not yet), at a random moment after a text was copied, and once while the
// program is still starting. After every kill the
// program starts again and the history must have survived: the database passes
// PRAGMA integrity_check, every image row has its file and its thumbnail, both decode as images,
// and the only files without a row are those of the capture that was in flight. Prints its
// figures; exits 1 when a check fails.
//   crash_test PROGRAM [kills, default 6]
#include "LongRun.h"
#include "support/ProgramReady.h"
#include "support/TestImages.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImageReader>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>

#include <csignal>
#include <cstdio>
#include <memory>

#include <sqlite3.h>

using namespace orv;

namespace {

int failures = 0;

void check(bool ok, const QString& what) {
    std::printf("%s %s\n", ok ? "ok  " : "FAIL", qPrintable(what));
    failures += ok ? 0 : 1;
}

QStringList imageRows() {
    QStringList paths;
    sqlite3* db = nullptr;
    sqlite3_open_v2(QFile::encodeName(LongRun::database()).constData(), &db, SQLITE_OPEN_READONLY,
                    nullptr);
    sqlite3_busy_timeout(db, 2000);
    sqlite3_stmt* statement = nullptr;
    sqlite3_prepare_v2(db, "SELECT image FROM clips WHERE image IS NOT NULL", -1, &statement,
                       nullptr);
    while (sqlite3_step(statement) == SQLITE_ROW) {
        paths.append(
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0))));
    }
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return paths;
}

bool decodes(const QString& path) {
    QImageReader reader(path);
    return !reader.read().isNull();
}

void kill(QProcess& process) {
    ::kill(pid_t(process.processId()), SIGKILL);
    process.waitForFinished(5000);
}

// What a restart after a kill must find. Files already checked are not decoded again.
void checkHistory(QSet<QString>& decoded) {
    check(LongRun::query("PRAGMA integrity_check") == "ok", "PRAGMA integrity_check says ok");
    const QStringList rows = imageRows();
    int missing = 0;
    int noThumbnail = 0;
    int undecodable = 0;
    QSet<QString> named;
    for (const QString& path : rows) {
        const QString thumbnail = path.chopped(4) + ".thumb.png";
        named.insert(QFileInfo(path).fileName());
        named.insert(QFileInfo(thumbnail).fileName());
        if (!QFileInfo(path).isFile()) {
            ++missing;
            continue;
        }
        if (!QFileInfo(thumbnail).isFile()) {
            ++noThumbnail;
            continue;
        }
        if (!decoded.contains(path)) {
            if (decodes(path) && decodes(thumbnail)) {
                decoded.insert(path);
            } else {
                ++undecodable;
            }
        }
    }
    int orphans = 0;
    for (const QString& file : QDir(LongRun::imageFolder()).entryList(QDir::Files)) {
        orphans += named.contains(file) ? 0 : 1;
    }
    std::printf("rows %s, image rows %lld, files without a row %d\n",
                qPrintable(LongRun::query("SELECT count(*) FROM clips")),
                static_cast<long long>(rows.size()), orphans);
    check(missing == 0, QStringLiteral("every image row has its file (%1 missing)").arg(missing));
    check(noThumbnail == 0,
          QStringLiteral("every image row has its thumbnail (%1 missing)").arg(noThumbnail));
    check(undecodable == 0,
          QStringLiteral("every image and thumbnail decodes (%1 do not)").arg(undecodable));
    check(orphans <= 2,
          "files without a row are at most the capture in flight (image + thumbnail)");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QString program = app.arguments().value(1);
    const int kills = app.arguments().value(2, "6").toInt();
    auto* random = QRandomGenerator::global();
    const QByteArray photo = LongRun::picture(1600, 1200, 7);

    std::unique_ptr<QProcess> running(LongRun::launch(program));
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    check(answersList(program, environment), "the program answers");
    QSet<QString> decoded;
    int copies = 0;
    for (int round = 0; round < kills; ++round) {
        std::printf("\nround %d: ", round + 1);
        if (round == kills - 1 && kills > 1) {
            // While starting: opening the history and removing what the last crash left.
            kill(*running);
            running.reset(LongRun::launch(program));
            const auto after = quint64(random->bounded(600));
            QThread::msleep(after);
            kill(*running);
            std::printf("killed %llu ms into its start\n", static_cast<unsigned long long>(after));
        } else {
            // Odd rounds end as soon as the image file of a copy appears, before its thumbnail and
            // row; even ones at a random moment of the tick that stores a text.
            const int length = 20 + int(random->bounded(60));
            const bool afterImage = round % 2 == 0;
            const QDir images(LongRun::imageFolder());
            QElapsedTimer clock;
            clock.start();
            for (int i = 0;; ++i, ++copies) {
                const bool image = i % 3 == 0;
                const qsizetype files = images.entryList(QDir::Files).size();
                if (image) {
                    LongRun::copy(TestImages::withText(photo, QByteArray::number(copies)),
                                  "image/png");
                } else {
                    LongRun::copy("texto número " + QByteArray::number(copies), "UTF8_STRING");
                }
                if (i >= length && image && afterImage) {
                    QElapsedTimer waiting;
                    waiting.start();
                    while (images.entryList(QDir::Files).size() == files &&
                           waiting.elapsed() < 5000) {
                        QThread::usleep(500);
                    }
                    kill(*running);
                    std::printf(
                        "killed after %d copies, as the image file appeared, %.1f s into "
                        "the burst\n",
                        i + 1, clock.elapsed() / 1000.0);
                    ++copies;
                    break;
                }
                QThread::msleep(100);
                if (i >= length && !image && !afterImage) {
                    QThread::msleep(quint64(random->bounded(500)));
                    kill(*running);
                    std::printf("killed after %d copies, after a text, %.1f s into the burst\n",
                                i + 1, clock.elapsed() / 1000.0);
                    ++copies;
                    break;
                }
            }
        }
        std::printf(
            "before the restart: rows %s, image files %lld\n",
            qPrintable(LongRun::query("SELECT count(*) FROM clips")),
            static_cast<long long>(QDir(LongRun::imageFolder()).entryList(QDir::Files).size()));
        // Start again; the start removes files older than the newest row that no row names.
        running.reset(LongRun::launch(program));
        check(answersList(program, environment) && running->state() == QProcess::Running,
              "the program starts again after the kill");
        checkHistory(decoded);
    }
    std::printf("\n%d copies, %d kills, %s\n", copies, kills,
                failures == 0 ? "every check passed" : "FAIL: see above");
    running->kill();
    running->waitForFinished(5000);
    return failures == 0 ? 0 : 1;
}
