// Renders the palette and the preview in their main states to PNG files, for a person to look at:
//   render_screens OUTPUT_FOLDER   (run it on a display: scripts/render-screens.sh)
#include "model/AppModel.h"
#include "palette/PalettePanelController.h"
#include "palette/PaletteView.h"
#include "platform/fakes/FakeLoginItemService.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/fakes/InMemoryUserDefaults.h"
#include "platform/xdg/TimerScheduler.h"
#include "preview/PreviewPanelController.h"
#include "preview/PreviewView.h"
#include "store/HistoryStore.h"
#include "support/TestImages.h"

#include <QApplication>
#include <QBuffer>
#include <QCoro/QCoroTask>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

using namespace orv;

namespace {

// A photo-like picture: a sky, a sun and hills.
QByteArray landscape() {
    QImage image(640, 400, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient sky(0, 0, 0, 400);
    sky.setColorAt(0, QColor(90, 150, 220));
    sky.setColorAt(1, QColor(200, 225, 245));
    painter.fillRect(image.rect(), sky);
    painter.setBrush(QColor(255, 210, 80));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QPoint(470, 110), 50, 50);
    painter.setBrush(QColor(70, 140, 80));
    painter.drawEllipse(QRect(-100, 260, 500, 300));
    painter.setBrush(QColor(50, 115, 65));
    painter.drawEllipse(QRect(250, 280, 520, 300));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class FixedWindow : public WindowHandle {
public:
    bool isVisible() const override { return true; }
    QRect frame() const override { return QRect(700, 120, 420, 460); }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString output = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screens");
    QDir().mkpath(output);

    QTemporaryDir temp;
    HistoryStore store(temp.filePath("history.db"), temp.filePath("images"));
    InMemoryUserDefaults defaults;
    FakeLoginItemService loginItem;
    PreferencesStore preferences(defaults, loginItem);
    TimerScheduler scheduler;
    ClipRecorder recorder(store, preferences, scheduler);
    AppModel model(store, preferences, scheduler);
    model.follow(recorder);
    FakeWorkspace workspace;
    PalettePanelController palette(model, workspace);
    PreviewPanelController preview;
    QObject::connect(&model, &AppModel::copyRequested, [](const Clip&) {});

    int saved = 0;
    // Thumbnails and the previewed picture are decoded on other threads.
    const auto imagesLanded = [&] {
        const auto* view = preview.panel()->findChild<PreviewView*>();
        return !palette.view()->thumbnails().isLoading() && !(view && view->imagePending());
    };
    const auto shoot = [&](QWidget* widget, const QString& name) {
        QTest::qWait(250);
        if (!QTest::qWaitFor(imagesLanded, 30000)) {
            std::fprintf(stderr, "%s: the images did not arrive\n", qPrintable(name));
        }
        const QString path = output + u'/' + name + QStringLiteral(".png");
        if (widget->grab().save(path)) {
            std::printf("%s\n", qPrintable(path));
            ++saved;
        }
    };
    const auto reopen = [&] {
        palette.close();
        palette.show();
        QTest::qWait(150);
    };

    reopen();
    shoot(palette.window(), "palette-empty");

    const QDateTime now = QDateTime::currentDateTimeUtc();
    QCoro::waitFor(
        recorder.record({CapturedClip::Image{landscape()}, QStringLiteral("Visor de imágenes")}));
    QCoro::waitFor(
        recorder.record({CapturedClip::Files{{"/home/ana/Documentos/informe anual.pdf",
                                              "/home/ana/Fotos/playa.jpg", "/home/ana/notas.txt"}},
                         QStringLiteral("Archivos")}));
    QCoro::waitFor(recorder.record({CapturedClip::Color{"#2E86DE"}, QStringLiteral("GIMP")}));
    QCoro::waitFor(recorder.record(
        {CapturedClip::Text{"#E74C3C80", std::nullopt}, QStringLiteral("Inkscape")}));
    QCoro::waitFor(recorder.record(
        {CapturedClip::Text{"Reunión del equipo el jueves a las 10:00 en la sala Ámbar. Traed las "
                            "cifras del trimestre y las propuestas para el nuevo diseño.",
                            std::nullopt},
         QStringLiteral("Correo")}));
    QCoro::waitFor(
        recorder.record({CapturedClip::Text{"git commit -m \"Arreglar la búsqueda\"", std::nullopt},
                         QStringLiteral("Terminal")}));
    QCoro::waitFor(recorder.record(
        {CapturedClip::Text{"https://example.org/articulo/portapapeles", std::nullopt},
         QStringLiteral("Firefox")}));
    QCoro::waitFor(recorder.record(
        {CapturedClip::Text{"ana.garcia@example.org", std::nullopt}, QStringLiteral("Contactos")}));
    reopen();
    const QList<Clip> clips = model.clips();
    QCoro::waitFor(model.togglePin(clips.at(3)));
    model.moveSelection(1);
    shoot(palette.window(), "palette-list");

    model.setFilter(ClipListFilter::ofKind(ClipKind::color));
    shoot(palette.window(), "palette-colours");
    model.setFilter(ClipListFilter::all());

    preferences.setPaused(true);
    shoot(palette.window(), "palette-paused");
    preferences.setPaused(false);

    model.report(QStringLiteral("No se encuentran: informe anual.pdf, playa.jpg"));
    model.setQuery(QStringLiteral("zzz"));
    QTest::qWait(150);
    shoot(palette.window(), "palette-error-no-match");
    palette.close();

    FixedWindow beside;
    for (const Clip& clip : model.clips().isEmpty() ? clips : clips) {
        QString name;
        switch (clip.effectiveKind()) {
            case ClipKind::text:
                name = QStringLiteral("preview-text");
                break;
            case ClipKind::image:
                name = QStringLiteral("preview-image");
                break;
            case ClipKind::color:
                name = QStringLiteral("preview-colour");
                break;
            case ClipKind::files:
                name = QStringLiteral("preview-files");
                break;
        }
        if (QFile::exists(output + u'/' + name + QStringLiteral(".png"))) {
            continue;
        }
        const auto full = store.clip(clip.id).result();
        preview.show(full.value_or(clip), &beside);
        shoot(preview.panel(), name);
    }
    return saved >= 9 ? 0 : 1;
}
