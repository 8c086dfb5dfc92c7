// The palette, offscreen, over these histories: 2000 mixed clips (texts, colours, files and 200
// images with thumbnails); texts of 200 characters (2000, 10 000, and 50 000 with colours and
// pinned clips among them), of 1000 and of 100 000 characters (2000 each). From the toggle to the
// list of the current history on screen; the very first opening of a fresh process, prepared in
// idle time or not; from a keystroke in the search field to its text painted and to the list for
// it on screen, and the CPU time of the whole search. On the largest history also the start of
// the program until its first list has loaded. Real time, on the main thread, with the store
// working on its own thread. Also the preview of a 4000 x 3000 PNG: how long setClip holds the
// main thread, and how long until the picture is painted.
#include "model/AppModel.h"
#include "palette/PalettePanelController.h"
#include "palette/PaletteView.h"
#include "platform/fakes/FakeLoginItemService.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/fakes/InMemoryUserDefaults.h"
#include "platform/xdg/TimerScheduler.h"
#include "preview/PreviewView.h"
#include "store/HistoryStore.h"
#include "support/TestImages.h"

#include <QApplication>
#include <QCoro/QCoroTask>
#include <QElapsedTimer>
#include <QFile>
#include <QImageWriter>
#include <QJsonObject>
#include <QLineEdit>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

#include <time.h>

using namespace orv;

namespace {

// Far above any load seen; a wait that reaches it marks the run as failed.
constexpr qint64 kWaitLimitMs = 120'000;

double residentMiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;  // kB
        }
    }
    return 0;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// CPU time of every thread of the process: the store searches on its own.
double processCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Runs events until `done` holds; false when the limit passed first. Sleeps while nothing
// happens, so the store's thread is not competing with a spinning main thread.
bool waitUntil(const std::function<bool()>& done) {
    QElapsedTimer timer;
    timer.start();
    QTimer heartbeat;  // wakes the loop to look at the clock
    heartbeat.start(50);
    while (!done()) {
        if (timer.elapsed() > kWaitLimitMs) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// What the list on screen reflects: whether a list for the current search text has landed since
// arm() (of a long list, its first rows: what the screen shows), and whether the viewport has
// painted since the model's list or search text last changed.
class ListWatch : public QObject {
public:
    ListWatch(AppModel& model, QWidget* viewport) : m_viewport(viewport) {
        viewport->installEventFilter(this);
        connect(&model, &AppModel::clipsChanged, this, [this, &model] {
            m_current = false;
            if (model.listedQuery() == model.query()) {
                m_settled = true;
            }
        });
        connect(&model, &AppModel::queryChanged, this, [this] { m_current = false; });
        // An unchanged list lands without a change.
        connect(&model, &AppModel::loadsSettled, this, [this] { m_settled = true; });
    }
    // Forgets what landed and painted so far: the answers are about what follows.
    void arm() {
        m_settled = false;
        m_painted = false;
    }
    bool settled() const { return m_settled; }
    bool painted() const { return m_painted && m_current; }
    bool onScreen() const { return settled() && painted(); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_viewport && event->type() == QEvent::Paint) {
            m_painted = true;
            m_current = true;
        }
        return false;
    }

private:
    QWidget* m_viewport;
    bool m_settled = false;
    bool m_painted = false;
    bool m_current = true;
};

// When the search field first paints after its text changed, since arm(): the echo of a key.
class EchoWatch : public QObject {
public:
    explicit EchoWatch(QLineEdit* field) : m_field(field) {
        field->installEventFilter(this);
        connect(field, &QLineEdit::textChanged, this, [this] { m_changed = true; });
    }
    void arm() {
        m_changed = false;
        m_echoMs = -1;
        m_timer.start();
    }
    bool echoed() const { return m_echoMs >= 0; }
    double echoMs() const { return m_echoMs; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == m_field && event->type() == QEvent::Paint && m_changed && !echoed()) {
            m_echoMs = double(m_timer.nsecsElapsed()) / 1e6;
        }
        return false;
    }

private:
    QLineEdit* m_field;
    QElapsedTimer m_timer;
    bool m_changed = false;
    double m_echoMs = -1;
};

// Numbered random words, the same ones as the store benchmarks, up to `length` characters (UTF-8).
class WordSource {
public:
    std::string value(qint64 number, qsizetype length, bool withNeedle) {
        std::string value = std::to_string(number) + ' ';
        qsizetype characters = qsizetype(value.size());
        bool placed = !withNeedle;
        while (characters < length) {
            if (!placed && characters >= length / 2) {
                value += "aguja ";
                characters += 6;
                placed = true;
                continue;
            }
            const Word& word = kWords[m_random.bounded(int(kWords.size()))];
            value += word.text;
            value += ' ';
            characters += word.characters + 1;
        }
        while (characters > length) {  // drops whole characters from the end
            while ((value.back() & 0xC0) == 0x80) {
                value.pop_back();
            }
            value.pop_back();
            --characters;
        }
        return value;
    }

private:
    struct Word {
        const char* text;
        int characters;
    };
    static constexpr std::array<Word, 12> kWords{{{"lorem", 5},
                                                  {"ipsum", 5},
                                                  {"dolor", 5},
                                                  {"sit", 3},
                                                  {"amet", 4},
                                                  {"copia", 5},
                                                  {"texto", 5},
                                                  {"enlace", 6},
                                                  {"nota", 4},
                                                  {"correo", 6},
                                                  {"código", 6},
                                                  {"Árbol", 5}}};
    QRandomGenerator m_random{7};
};

// Rows written straight into a history file that the store created: one transaction, much faster
// than upserting large histories one clip at a time.
class DirectWriter {
public:
    DirectWriter(const QString& databasePath, const QString& imageDirectory) {
        {
            HistoryStore schema(databasePath, imageDirectory);
            schema.close().waitForFinished();
        }
        check(sqlite3_open_v2(databasePath.toUtf8().constData(), &m_database, SQLITE_OPEN_READWRITE,
                              nullptr));
        execute("PRAGMA synchronous = OFF; BEGIN;");
        check(sqlite3_prepare_v2(m_database,
                                 "INSERT INTO clips (kind, value, source, created_at, pinned) "
                                 "VALUES (?, ?, ?, ?, ?)",
                                 -1, &m_insert, nullptr));
    }
    ~DirectWriter() {
        sqlite3_finalize(m_insert);
        sqlite3_close(m_database);
    }
    DirectWriter(const DirectWriter&) = delete;
    DirectWriter& operator=(const DirectWriter&) = delete;

    void add(const char* kind, const std::string& value, qint64 createdAtMs, bool pinned) {
        sqlite3_bind_text(m_insert, 1, kind, -1, SQLITE_STATIC);
        sqlite3_bind_text(m_insert, 2, value.data(), int(value.size()), SQLITE_STATIC);
        sqlite3_bind_text(m_insert, 3, "Editor", -1, SQLITE_STATIC);
        sqlite3_bind_int64(m_insert, 4, createdAtMs);
        sqlite3_bind_int(m_insert, 5, pinned ? 1 : 0);
        if (sqlite3_step(m_insert) != SQLITE_DONE) {
            fail();
        }
        sqlite3_reset(m_insert);
    }
    void commit() { execute("COMMIT;"); }

private:
    void execute(const char* sql) {
        check(sqlite3_exec(m_database, sql, nullptr, nullptr, nullptr));
    }
    void check(int result) {
        if (result != SQLITE_OK) {
            fail();
        }
    }
    [[noreturn]] void fail() {
        throw std::runtime_error(std::string("filling the history: ") +
                                 (m_database ? sqlite3_errmsg(m_database) : "no database"));
    }

    sqlite3* m_database = nullptr;
    sqlite3_stmt* m_insert = nullptr;
};

// `count` texts of `length` characters, one in a hundred holding "aguja".
void writeTexts(const QString& databasePath, const QString& imageDirectory, int count,
                qsizetype length) {
    DirectWriter writer(databasePath, imageDirectory);
    WordSource words;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < count; ++i) {
        writer.add("text", words.value(i, length, i % 100 == 0), now - qint64(i) * 1000, false);
    }
    writer.commit();
}

// 50 000 texts of 200 characters, one in a hundred holding "aguja", with 100 colours and 50
// pinned clips among them.
void writeLargeHistory(const QString& databasePath, const QString& imageDirectory) {
    DirectWriter writer(databasePath, imageDirectory);
    WordSource words;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < 50'000; ++i) {
        const qint64 at = now - qint64(i) * 1000;
        if (i % 500 == 250) {
            // An odd factor keeps the codes distinct below 2^24.
            char code[8];
            std::snprintf(code, sizeof code, "#%06X", unsigned(i * 40'503) & 0xFFFFFFu);
            writer.add("color", code, at, false);
        } else {
            writer.add("text", words.value(i, 200, i % 100 == 0), at, i % 1000 == 500);
        }
    }
    writer.commit();
}

void writeMixed(HistoryStore& store) {
    QList<QFuture<void>> pending;
    const QDateTime start = QDateTime::currentDateTimeUtc().addDays(-1);
    for (int i = 0; i < 2000; ++i) {
        const QDateTime at = start.addSecs(i);
        if (i % 10 == 0) {
            pending.append(QFuture<void>(store.recordImage(
                TestImages::png(40 + i % 7, 30, QColor::fromHsv(i % 360, 200, 200)),
                QStringLiteral("Fotos"), at)));
        } else if (i % 10 == 1) {
            pending.append(QFuture<void>(store.upsert(
                ClipKind::color,
                QStringLiteral("#%1").arg(i * 97 % 0xFFFFFF, 6, 16, QChar(u'0')).toUpper(),
                std::nullopt, std::nullopt, std::nullopt, at)));
        } else if (i % 10 == 2) {
            pending.append(QFuture<void>(store.upsert(
                ClipKind::files, QStringLiteral("/home/ana/doc%1.pdf\n/home/ana/foto%1.jpg").arg(i),
                std::nullopt, std::nullopt, std::nullopt, at)));
        } else {
            pending.append(QFuture<void>(
                store.upsert(ClipKind::text,
                             QStringLiteral("Nota %1: ").arg(i) +
                                 QString("texto copiado de una página ").repeated(1 + i % 8),
                             std::nullopt, std::nullopt, QStringLiteral("Firefox"), at)));
        }
    }
    for (auto& future : pending) {
        future.waitForFinished();
    }
}

enum class History { mixed, texts200, texts1000, longTexts, tenThousand, large };

// Each history but the mixed one in a file, written once; whoever changes it works on a copy.
const QString& historyFile(History history) {
    struct File {
        QTemporaryDir folder;
        QString path = folder.filePath(QStringLiteral("history.db"));
    };
    static std::map<History, File> files;
    if (auto known = files.find(history); known != files.end()) {
        return known->second.path;
    }
    File& file = files[history];
    const QString images = file.folder.filePath(QStringLiteral("images"));
    switch (history) {
        case History::texts200:
            writeTexts(file.path, images, 2000, 200);
            break;
        case History::texts1000:
            writeTexts(file.path, images, 2000, 1000);
            break;
        case History::longTexts:
            writeTexts(file.path, images, 2000, 100'000);
            break;
        case History::tenThousand:
            writeTexts(file.path, images, 10'000, 200);
            break;
        case History::large:
            writeLargeHistory(file.path, images);
            break;
        case History::mixed:
            throw std::logic_error("the mixed history is written through the store");
    }
    return file.path;
}

struct Palette {
    explicit Palette(History history) {
        if (history != History::mixed && !QFile::copy(historyFile(history), database)) {
            throw std::runtime_error("copying the history file failed");
        }
        store = std::make_unique<HistoryStore>(database, images);
        if (history == History::mixed) {
            writeMixed(*store);
        }
        openPalette();
        // A program that has been running: what its start-up prepares in idle time is there.
        QCoro::waitFor(controller->prepare());
    }
    // Over a history file as it is, read only.
    explicit Palette(const QString& file) : database(file) {
        store = std::make_unique<HistoryStore>(database, images);
        openPalette();
    }
    void openPalette() {
        model = std::make_unique<AppModel>(*store, preferences, scheduler);
        controller = std::make_unique<PalettePanelController>(*model, workspace);
        watch = std::make_unique<ListWatch>(*model, controller->view()->list()->viewport());
    }

    // A new clip copied while the palette is closed, so the next opening has a new list to show.
    QString copyOne() {
        const QString value = QStringLiteral("Recién copiado %1").arg(++copied);
        store
            ->upsert(ClipKind::text, value, std::nullopt, std::nullopt, QStringLiteral("Terminal"),
                     QDateTime::currentDateTimeUtc())
            .waitForFinished();
        return value;
    }
    bool listHolds(const QString& value) const {
        const QList<Clip>& clips = model->clips();
        return std::any_of(clips.begin(), clips.end(),
                           [&](const Clip& clip) { return clip.value == value; });
    }

    QTemporaryDir temp;
    QString database = temp.filePath(QStringLiteral("history.db"));
    QString images = temp.filePath(QStringLiteral("images"));
    std::unique_ptr<HistoryStore> store;
    InMemoryUserDefaults defaults{QJsonObject{{"maxItems", 2000}}};
    FakeLoginItemService loginItem;
    PreferencesStore preferences{defaults, loginItem};
    TimerScheduler scheduler;
    std::unique_ptr<AppModel> model;
    FakeWorkspace workspace;
    std::unique_ptr<PalettePanelController> controller;
    std::unique_ptr<ListWatch> watch;
    int copied = 0;
};

// One history at a time, built on first use (the long texts alone take hundreds of megabytes),
// and taken down before the application, whose widgets it holds.
std::unique_ptr<Palette> instance;

Palette& palette(History history) {
    static History built = History::mixed;
    if (!instance || built != history) {
        instance.reset();
        instance = std::make_unique<Palette>(history);
        built = history;
    }
    return *instance;
}

// From the toggle until the list of the current history is on screen: the opening's load has
// landed, holding the clip copied just before, and the list has painted since.
void openings(benchmark::State& state, Palette& p) {
    for (auto _ : state) {
        state.PauseTiming();
        const QString copied = p.copyOne();
        p.watch->arm();
        state.ResumeTiming();
        p.controller->toggle();
        const bool shown = waitUntil([&] { return p.watch->onScreen() && p.listHolds(copied); });
        state.PauseTiming();
        p.controller->close();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        if (!shown) {
            state.SkipWithError("the opening's list never reached the screen");
            break;
        }
    }
    state.counters["rows"] = double(p.model->clips().size());
}

// From a key in the search field until the list for the new text is on screen: its load has
// landed and the list has painted since the text changed. `keys` are typed one per round; after
// the last the field is cleared, untimed, and typing starts again. Counters: the mean, median and
// slowest keystroke; the median echo (key until the field painted its new text); the CPU time of
// all threads from the first key of the keys until the list for the last is on screen, per time
// typed; and the resident memory after them.
void typing(benchmark::State& state, Palette& p, const QList<Qt::Key>& keys) {
    p.watch->arm();
    p.controller->show();
    waitUntil([&] { return p.watch->onScreen(); });
    QLineEdit* field = p.controller->view()->searchField();
    EchoWatch echo(field);
    std::vector<double> times;
    std::vector<double> echoes;
    std::vector<double> searches;
    double searchStartedMs = 0;
    qsizetype typed = 0;
    for (auto _ : state) {
        if (typed == 0) {
            searchStartedMs = processCpuMs();
        }
        const Qt::Key key = keys.at(typed++);
        p.watch->arm();
        echo.arm();
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(field, key);
        const QString text = field->text();
        const bool shown = waitUntil(
            [&] { return p.watch->onScreen() && p.model->query() == text && echo.echoed(); });
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!shown) {
            state.SkipWithError("the typed text or the list for it never reached the screen");
            break;
        }
        echoes.push_back(echo.echoMs());
        if (typed == keys.size()) {
            state.PauseTiming();
            searches.push_back(processCpuMs() - searchStartedMs);
            typed = 0;
            if (!field->text().isEmpty()) {
                p.watch->arm();
                p.model->setQuery(QString());
                waitUntil([&] { return p.watch->onScreen(); });
            }
            state.ResumeTiming();
        }
    }
    if (!times.empty()) {
        state.counters["key_mean_ms"] =
            std::accumulate(times.begin(), times.end(), 0.0) / double(times.size());
        state.counters["key_max_ms"] = *std::max_element(times.begin(), times.end());
        state.counters["key_median_ms"] = median(times);
    }
    if (!echoes.empty()) {
        state.counters["echo_median_ms"] = median(echoes);
    }
    if (!searches.empty()) {
        state.counters["cpu_per_search_ms"] =
            std::accumulate(searches.begin(), searches.end(), 0.0) / double(searches.size());
    }
    state.counters["rss_MiB"] = residentMiB();
    state.counters["rows"] = double(p.model->clips().size());
    p.controller->close();
    QCoreApplication::processEvents();
}

// The very first opening of a fresh process, over the history's file: this program run again as
// a child (firstOpening()), which prints the milliseconds from its toggle to the list on
// screen. `prepared`: as the program does in idle time after start-up.
void BM_FirstOpen(benchmark::State& state, History history, bool prepared) {
    const QString& file = historyFile(history);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (auto _ : state) {
        QProcess child;
        child.setProcessEnvironment(environment);
        child.start(QCoreApplication::applicationFilePath(),
                    {prepared ? QStringLiteral("--first-open=prepared")
                              : QStringLiteral("--first-open=unprepared"),
                     QStringLiteral("--history=") + file});
        const bool finished = child.waitForFinished(int(kWaitLimitMs));
        bool measured = false;
        const double ms =
            QString::fromUtf8(child.readAllStandardOutput()).trimmed().toDouble(&measured);
        if (!finished || child.exitStatus() != QProcess::NormalExit || child.exitCode() != 0 ||
            !measured) {
            const std::string why = "the first opening failed: " +
                                    QString::fromUtf8(child.readAllStandardError()).toStdString();
            state.SkipWithError(why.c_str());
            break;
        }
        state.SetIterationTime(ms / 1000);
    }
}

// The child's side: store, model and palette over `file`, idle time (with prepare() when
// `prepared`), then the toggle, timed until the list of the history is on screen.
int firstOpening(bool prepared, const QString& file) {
    try {
        Palette p(file);
        if (prepared) {
            QCoro::waitFor(p.controller->prepare());
        }
        // The rest of the idle time before the user's first hot key: what start-up left queued.
        QTest::qWait(300);
        p.watch->arm();
        QElapsedTimer timer;
        timer.start();
        p.controller->toggle();
        const bool shown =
            waitUntil([&] { return p.watch->onScreen() && !p.model->clips().isEmpty(); });
        const double ms = double(timer.nsecsElapsed()) / 1e6;
        p.controller->close();
        if (!shown) {
            std::fprintf(stderr, "the list never reached the screen\n");
            return 1;
        }
        std::printf("%.3f\n", ms);
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}

const QList<Qt::Key> kNeedle{Qt::Key_A, Qt::Key_G, Qt::Key_U, Qt::Key_J, Qt::Key_A};

void BM_ToggleToListOnScreen(benchmark::State& state) {
    openings(state, palette(History::mixed));
}
BENCHMARK(BM_ToggleToListOnScreen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(30);

// "7", then Backspace, and again.
void BM_KeystrokeToRepaint(benchmark::State& state) {
    typing(state, palette(History::mixed), {Qt::Key_7, Qt::Key_Backspace});
}
BENCHMARK(BM_KeystrokeToRepaint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(40);

void BM_LongTextsPaletteOpen(benchmark::State& state) {
    openings(state, palette(History::longTexts));
}
BENCHMARK(BM_LongTextsPaletteOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_LongTextsKeystroke(benchmark::State& state) {
    typing(state, palette(History::longTexts), kNeedle);
}
BENCHMARK(BM_LongTextsKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_LargeHistoryPaletteOpen(benchmark::State& state) {
    openings(state, palette(History::large));
}
BENCHMARK(BM_LargeHistoryPaletteOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_LargeHistoryKeystroke(benchmark::State& state) {
    typing(state, palette(History::large), kNeedle);
}
BENCHMARK(BM_LargeHistoryKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_ShortTextsKeystroke(benchmark::State& state) {
    typing(state, palette(History::texts200), kNeedle);
}
BENCHMARK(BM_ShortTextsKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_TenThousandPaletteOpen(benchmark::State& state) {
    openings(state, palette(History::tenThousand));
}
BENCHMARK(BM_TenThousandPaletteOpen)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

void BM_TenThousandKeystroke(benchmark::State& state) {
    typing(state, palette(History::tenThousand), kNeedle);
}
BENCHMARK(BM_TenThousandKeystroke)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

BENCHMARK_CAPTURE(BM_FirstOpen, texts_200_prepared, History::texts200, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_FirstOpen, texts_1000_prepared, History::texts1000, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_FirstOpen, texts_100000_prepared, History::longTexts, true)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_FirstOpen, texts_200_unprepared, History::texts200, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_FirstOpen, texts_1000_unprepared, History::texts1000, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);
BENCHMARK_CAPTURE(BM_FirstOpen, texts_100000_unprepared, History::longTexts, false)
    ->Unit(benchmark::kMillisecond)
    ->UseManualTime()
    ->Iterations(5);

// What the program does at start before the palette can open at once: open the store, clear
// orphan images, read the preferences, build the model and load its first list. Each round on a
// fresh copy of the 50 000-clip file (the copy and the teardown untimed).
void BM_LargeHistoryStartToReady(benchmark::State& state) {
    const QString& source = historyFile(History::large);
    qsizetype rows = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto folder = std::make_unique<QTemporaryDir>();
        const QString database = folder->filePath(QStringLiteral("history.db"));
        const bool copied = QFile::copy(source, database);
        state.ResumeTiming();
        if (!copied) {
            state.SkipWithError("copying the 50 000-clip history failed");
            break;
        }
        auto store =
            std::make_unique<HistoryStore>(database, folder->filePath(QStringLiteral("images")));
        store->removeOrphanImages();
        InMemoryUserDefaults defaults{QJsonObject{{"maxItems", 2000}}};
        FakeLoginItemService loginItem;
        auto preferences = std::make_unique<PreferencesStore>(defaults, loginItem);
        TimerScheduler scheduler;
        auto model = std::make_unique<AppModel>(*store, *preferences, scheduler);
        QCoro::waitFor(model->reload(true));
        rows = model->clips().size();
        state.PauseTiming();
        model.reset();
        preferences.reset();
        store.reset();
        folder.reset();
        state.ResumeTiming();
        if (rows == 0) {
            state.SkipWithError("the first list came back empty");
            break;
        }
    }
    state.counters["rows"] = double(rows);
}
BENCHMARK(BM_LargeHistoryStartToReady)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(10);

// A 4000 x 3000 photo-like PNG (smooth light, fine grain) in a file, without a thumbnail beside it.
struct Photo {
    Photo() { QImageWriter(path, "png").write(TestImages::photo(4000, 3000)); }
    // A clip of it that the preview has not shown yet.
    Clip nextClip() {
        Clip clip;
        clip.id = ++shown;
        clip.kind = ClipKind::image;
        clip.value = QStringLiteral("image:photo:4000x3000:%1").arg(shown);
        clip.imagePath = path;
        return clip;
    }

    QTemporaryDir temp;
    QString path = temp.filePath(QStringLiteral("photo.png"));
    qint64 shown = 0;
};

std::unique_ptr<Photo> photoInstance;

Photo& photo() {
    if (!photoInstance) {
        photoInstance = std::make_unique<Photo>();
    }
    return *photoInstance;
}

// Runs events until the preview holds a decoded picture, or a minute passed. Sleeps between events,
// so the main thread's CPU time counts only real work.
void waitForPicture(const PreviewView& view) {
    QElapsedTimer timer;
    timer.start();
    QTimer heartbeat;
    heartbeat.start(50);
    for (;;) {
        const auto* image = view.findChild<FittedImage*>();
        if ((image && !image->pixmap().isNull()) || timer.elapsed() > 60000) {
            return;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
}

void BM_PreviewPhotoSetClip(benchmark::State& state) {
    Photo& p = photo();
    PreviewView view;
    view.show();
    for (auto _ : state) {
        view.setClip(p.nextClip());
        state.PauseTiming();
        waitForPicture(view);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_PreviewPhotoSetClip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

void BM_PreviewPhotoToPaint(benchmark::State& state) {
    Photo& p = photo();
    PreviewView view;
    view.show();
    for (auto _ : state) {
        view.setClip(p.nextClip());
        waitForPicture(view);
        view.repaint();
    }
}
BENCHMARK(BM_PreviewPhotoToPaint)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    // Run again by BM_FirstOpen(): --first-open=prepared|unprepared --history=<file>
    const QStringList arguments = app.arguments();
    if (arguments.size() == 3 && arguments[1].startsWith(QStringLiteral("--first-open=")) &&
        arguments[2].startsWith(QStringLiteral("--history="))) {
        return firstOpening(arguments[1].endsWith(QStringLiteral("=prepared")),
                            arguments[2].section(u'=', 1));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    instance.reset();
    photoInstance.reset();
    return 0;
}
