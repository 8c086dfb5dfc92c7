// The history at its 2000-clip limit: listing (the whole list as the palette reads it),
// searching, capturing, and recording images.
// Every store call is timed from the caller's side (real time): the work itself runs on the
// store's worker thread.
#include "store/ClipIdentity.h"
#include "store/HistoryStore.h"
#include "support/TestImages.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDateTime>
#include <QImage>
#include <QImageWriter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using namespace orv;

namespace {

constexpr int kHistorySize = 2000;

struct History {
    explicit History(qsizetype valueLength) {
        store =
            std::make_unique<HistoryStore>(temp.filePath("history.db"), temp.filePath("images"));
        QRandomGenerator random(7);
        static const QStringList words{"lorem", "ipsum",  "dolor", "sit",    "amet",   "copia",
                                       "texto", "enlace", "nota",  "correo", "código", "Árbol"};
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        QList<QFuture<void>> pending;
        for (int i = 0; i < kHistorySize; ++i) {
            QString value = QString::number(i) + u' ';
            while (value.size() < valueLength) {
                value += words.at(random.bounded(words.size())) + u' ';
            }
            value.truncate(valueLength);
            // One clip in a hundred holds the searched word.
            if (i % 100 == 0) {
                value.replace(value.size() / 2, 6, QStringLiteral("aguja "));
            }
            pending.append(QFuture<void>(store->upsert(
                ClipKind::text, value, std::nullopt, std::nullopt, QStringLiteral("Editor"),
                QDateTime::fromMSecsSinceEpoch(now - i * 1000, Qt::UTC))));
        }
        for (auto& future : pending) {
            future.waitForFinished();
        }
    }
    QTemporaryDir temp;
    std::unique_ptr<HistoryStore> store;
};

std::map<qsizetype, std::unique_ptr<History>> histories;

History& history(qsizetype valueLength) {
    // The stores' threads end while the application object is still there.
    static const bool cleared = (qAddPostRoutine([] { histories.clear(); }), true);
    Q_UNUSED(cleared);
    auto& slot = histories[valueLength];
    if (!slot) {
        slot = std::make_unique<History>(valueLength);
    }
    return *slot;
}

qint64 listedBytes(const QList<Clip>& clips) {
    qint64 bytes = clips.capacity() * qint64(sizeof(Clip));
    for (const Clip& clip : clips) {
        bytes += clip.value.capacity() * 2 + (clip.source ? clip.source->capacity() * 2 : 0);
    }
    return bytes;
}

void listing(benchmark::State& state, const QString& search) {
    History& h = history(state.range(0));
    const qint64 first = h.store->listing(QString(), 1, {}).result().value(0).id;
    QList<Clip> clips;
    for (auto _ : state) {
        // Each round lists a history changed since the one before (a pin set and taken back, as
        // a capture would change it), so nothing listed before answers; a search comes after the
        // whole list that an opening loads.
        state.PauseTiming();
        h.store->togglePinned(first);
        h.store->togglePinned(first).waitForFinished();
        if (!search.isEmpty()) {
            h.store->listing(QString(), -1, {}).waitForFinished();
        }
        state.ResumeTiming();
        clips = h.store->listing(search, -1, {}).result();
        benchmark::DoNotOptimize(clips);
    }
    state.counters["clips"] = double(clips.size());
    state.counters["result_MB"] = double(listedBytes(clips)) / (1024 * 1024);
}

void BM_ListAll(benchmark::State& state) {
    listing(state, QString());
}
void BM_SearchWord(benchmark::State& state) {
    listing(state, QStringLiteral("Aguja"));
}
BENCHMARK(BM_ListAll)->Arg(200)->Arg(100'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SearchWord)->Arg(200)->Arg(100'000)->Unit(benchmark::kMillisecond)->UseRealTime();

// One text capture as the model does it: upsert, then prune to the limit.
void BM_TextCapture(benchmark::State& state) {
    History& h = history(200);
    qint64 n = 0;
    for (auto _ : state) {
        const QString value = QStringLiteral("captura %1 ").arg(++n) + QString(180, u'x');
        h.store->upsert(ClipKind::text, value, std::nullopt, std::nullopt,
                        QStringLiteral("Terminal"), QDateTime::currentDateTimeUtc());
        h.store->prune(kHistorySize, 0).waitForFinished();
    }
}
BENCHMARK(BM_TextCapture)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_ImageValue(benchmark::State& state) {
    QByteArray data(state.range(0), '\0');
    for (qsizetype i = 0; i < data.size(); ++i) {
        data[i] = char(i * 31);
    }
    for (auto _ : state) {
        benchmark::DoNotOptimize(ClipIdentity::imageValue(data, 4000, 3000));
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_ImageValue)->Arg(20 * 1024 * 1024)->Unit(benchmark::kMillisecond);

// A 4000 x 3000 photo-like PNG.
QByteArray photoPng() {
    const QImage image = TestImages::photo(4000, 3000);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter(&buffer, "png").write(image);
    return bytes;
}

void BM_RecordImage(benchmark::State& state) {
    History& h = history(200);
    static const QByteArray photo = photoPng();
    static qint64 n = 0;  // new bytes in every repetition too
    for (auto _ : state) {
        state.PauseTiming();
        const QByteArray data = TestImages::withText(photo, QByteArray::number(++n));
        state.ResumeTiming();
        h.store->recordImage(data, QStringLiteral("Fotos"), QDateTime::currentDateTimeUtc())
            .waitForFinished();
    }
    state.counters["png_MB"] = double(photo.size()) / (1024 * 1024);
}
BENCHMARK(BM_RecordImage)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
