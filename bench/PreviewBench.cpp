// A files clip of 5 000 and 50 000 paths, offscreen: from the preview's setClip to its painted
// file list, with the resident memory while it is shown and after it closed (counters, MiB, over
// what the process held before the first preview of that size); and one palette row of such a
// clip painted, which happens on every repaint of the list.
#include "palette/ClipRowView.h"
#include "palette/ThumbnailCache.h"
#include "preview/FileTypeIconView.h"
#include "preview/PreviewView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QHash>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <algorithm>
#include <fstream>
#include <limits>

using namespace orv;

namespace {

double residentMiB() {
    std::ifstream statm("/proc/self/statm");
    long long size = 0;
    long long resident = 0;
    statm >> size >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

Clip filesClip(int count) {
    QString value;
    value.reserve(qsizetype(count) * 48);
    for (int i = 0; i < count; ++i) {
        if (i > 0) {
            value += u'\n';
        }
        value += QStringLiteral("/home/ana/Proyectos/2026/informe-trimestral-%1.pdf").arg(i);
    }
    Clip clip;
    clip.kind = ClipKind::files;
    clip.value = value;
    return clip;
}

// Counts paints of file icons, anywhere in the application.
class IconPaints : public QObject {
public:
    int count = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && qobject_cast<FileTypeIconView*>(watched)) {
            ++count;
        }
        return false;
    }
};

// Runs events until a file icon was painted after `before`, or two minutes passed.
void waitForIconPaint(const IconPaints& paints, int before) {
    QElapsedTimer timer;
    timer.start();
    while (paints.count == before && timer.elapsed() < 120000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

void settle() {
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void BM_PreviewFilesToPaint(benchmark::State& state) {
    IconPaints paints;
    qApp->installEventFilter(&paints);
    PreviewView view;
    view.show();
    qint64 id = 0;
    const auto showClip = [&](const Clip& clip) {
        Clip next = clip;
        next.id = ++id;
        const int before = paints.count;
        view.setClip(next);
        waitForIconPaint(paints, before);
    };
    // The icon theme and the type database load once in a running palette: not counted here.
    showClip(filesClip(3));
    view.clear();
    settle();

    // The clip itself already lives in the model's list, so it is in the baseline too.
    const Clip clip = filesClip(int(state.range(0)));
    static QHash<qint64, double> baselines;
    const double before = baselines.contains(state.range(0))
                              ? baselines.value(state.range(0))
                              : baselines.insert(state.range(0), residentMiB()).value();
    double shown = std::numeric_limits<double>::lowest();
    double held = std::numeric_limits<double>::lowest();
    for (auto _ : state) {
        showClip(clip);
        state.PauseTiming();
        shown = std::max(shown, residentMiB() - before);
        view.clear();
        settle();
        held = std::max(held, residentMiB() - before);
        state.ResumeTiming();
    }
    qApp->removeEventFilter(&paints);
    state.counters["beforeMiB"] = before;
    state.counters["shownMiB"] = shown;
    state.counters["heldMiB"] = held;
}
BENCHMARK(BM_PreviewFilesToPaint)
    ->Arg(5000)
    ->Arg(50000)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(5);

void BM_FilesRowPaint(benchmark::State& state) {
    ThumbnailCache thumbnails;
    ClipRowView::Row row;
    row.clip = filesClip(int(state.range(0)));
    row.clip.id = 1;
    QImage image(400, 44, QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        image.fill(Qt::white);
        QPainter painter(&image);
        ClipRowView::paintRow(&painter, image.rect(), row, QApplication::palette(), thumbnails);
    }
}
BENCHMARK(BM_FilesRowPaint)->Arg(50000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
