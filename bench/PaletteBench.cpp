// The palette, offscreen, over three histories: 2000 mixed clips (texts, colours, files and 200
// images with thumbnails); 2000 texts of 100 000 characters; 50 000 texts of 200 characters. For
// each: from the toggle to the list of the current history on screen, and from a keystroke in
// the search field to the list for the new text on screen. On the largest history also the start
// of the program until its first list has loaded. Real time, on the main thread, with the store
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
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <vector>

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

// 2000 texts of 100 000 characters, one in a hundred holding "aguja".
void writeLongTexts(const QString& databasePath, const QString& imageDirectory) {
    DirectWriter writer(databasePath, imageDirectory);
    WordSource words;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    for (int i = 0; i < 2000; ++i) {
        writer.add("text", words.value(i, 100'000, i % 100 == 0), now - i * 1000, false);
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

// The 50 000-clip history file, written once; whoever uses it works on a copy.
const QString& largeHistoryFile() {
    static QTemporaryDir folder;
    static const QString path = [] {
        const QString file = folder.filePath(QStringLiteral("history.db"));
        writeLargeHistory(file, folder.filePath(QStringLiteral("images")));
        return file;
    }();
    return path;
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

enum class History { mixed, longTexts, large };

struct Palette {
    explicit Palette(History history) {
        const QString database = temp.filePath(QStringLiteral("history.db"));
        const QString images = temp.filePath(QStringLiteral("images"));
        if (history == History::longTexts) {
            writeLongTexts(database, images);
        } else if (history == History::large) {
            if (!QFile::copy(largeHistoryFile(), database)) {
                throw std::runtime_error("copying the 50 000-clip history failed");
            }
        }
        store = std::make_unique<HistoryStore>(database, images);
        if (history == History::mixed) {
            writeMixed(*store);
        }
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
// the last the field is cleared, untimed, and typing starts again. Counters: the mean and median
// of the keystrokes, and the resident memory after them.
void typing(benchmark::State& state, Palette& p, const QList<Qt::Key>& keys) {
    p.watch->arm();
    p.controller->show();
    waitUntil([&] { return p.watch->onScreen(); });
    QLineEdit* field = p.controller->view()->searchField();
    std::vector<double> times;
    qsizetype typed = 0;
    for (auto _ : state) {
        const Qt::Key key = keys.at(typed++);
        p.watch->arm();
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(field, key);
        const QString text = field->text();
        const bool shown =
            waitUntil([&] { return p.watch->onScreen() && p.model->query() == text; });
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (!shown) {
            state.SkipWithError("the list for the typed text never reached the screen");
            break;
        }
        if (typed == keys.size()) {
            state.PauseTiming();
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
        std::sort(times.begin(), times.end());
        state.counters["key_max_ms"] = times.back();
        const size_t middle = times.size() / 2;
        state.counters["key_median_ms"] =
            times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
    }
    state.counters["rss_MiB"] = residentMiB();
    state.counters["rows"] = double(p.model->clips().size());
    p.controller->close();
    QCoreApplication::processEvents();
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

// What the program does at start before the palette can open at once: open the store, clear
// orphan images, read the preferences, build the model and load its first list. Each round on a
// fresh copy of the 50 000-clip file (the copy and the teardown untimed).
void BM_LargeHistoryStartToReady(benchmark::State& state) {
    const QString& source = largeHistoryFile();
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
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    instance.reset();
    photoInstance.reset();
    return 0;
}
