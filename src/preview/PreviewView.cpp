#include "preview/PreviewView.h"

#include "ui/InterfaceStyle.h"

#include "preview/FilePreview.h"
#include "preview/FileTypeIcon.h"
#include "preview/ImageDecoding.h"
#include "store/ClipIdentity.h"
#include "store/ImageThumbnail.h"

#include <QFontDatabase>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace orv {

namespace {

constexpr int kPadding = 14;
constexpr int kSpacing = 10;
constexpr int kColourSpacing = 12;
constexpr int kSwatchRadius = 16;

QLabel* centredMessage(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setWordWrap(true);
    InterfaceStyle::setSecondary(label);
    return label;
}

QWidget* textContent(const QString& text, QWidget* parent) {
    auto* edit = new QPlainTextEdit(parent);
    edit->setObjectName(QStringLiteral("text"));
    edit->setReadOnly(true);
    edit->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The panel never takes focus, so neither does anything inside it.
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setFrameShape(QFrame::NoFrame);
    edit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    edit->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, Qt::transparent);
    edit->setPalette(palette);
    edit->setFont(InterfaceStyle::font(edit->font(), InterfaceStyle::bodyPixels));
    edit->document()->setDocumentMargin(0);
    edit->setPlainText(text);
    return edit;
}

QWidget* colourContent(const QString& value, QWidget* parent) {
    auto* box = new QWidget(parent);
    box->setObjectName(QStringLiteral("color"));
    auto* layout = new QVBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(kColourSpacing);
    layout->addStretch(1);
    auto* swatch = new ColorSwatch(PreviewView::swatchColor(value), box);
    swatch->setObjectName(QStringLiteral("swatch"));
    layout->addWidget(swatch, 0, Qt::AlignHCenter);
    auto* hex = new QLabel(value, box);
    hex->setObjectName(QStringLiteral("colorValue"));
    hex->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QFont mono = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    mono.setPixelSize(InterfaceStyle::bodyPixels);
    hex->setFont(mono);
    hex->setAlignment(Qt::AlignCenter);
    layout->addWidget(hex);
    layout->addStretch(1);
    return box;
}

}  // namespace

ColorSwatch::ColorSwatch(const QColor& color, QWidget* parent) : QWidget(parent), m_color(color) {
    setFixedSize(side, side);
}

void ColorSwatch::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()), kSwatchRadius, kSwatchRadius);
    painter.fillPath(shape, m_color);
    // A faint edge keeps a swatch close to the background colour visible.
    QColor edge = palette().color(QPalette::WindowText);
    edge.setAlphaF(0.18f);
    painter.setPen(QPen(edge, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kSwatchRadius - 0.5,
                            kSwatchRadius - 0.5);
}

FittedImage::FittedImage(const QPixmap& pixmap, QWidget* parent)
    : QWidget(parent), m_pixmap(pixmap) {
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
}

void FittedImage::setPixmap(const QPixmap& pixmap) {
    m_pixmap = pixmap;
    m_scaled = QPixmap();
    update();
}

void FittedImage::resizeEvent(QResizeEvent*) {
    m_scaled = QPixmap();
}

void FittedImage::paintEvent(QPaintEvent*) {
    if (m_pixmap.isNull() || width() <= 0 || height() <= 0) {
        return;
    }
    const qreal ratio = devicePixelRatioF();
    if (m_scaled.isNull() || m_scaled.devicePixelRatio() != ratio) {
        const QSize target = m_pixmap.size().scaled(size() * ratio, Qt::KeepAspectRatio);
        m_scaled = m_pixmap.scaled(target, Qt::KeepAspectRatio, Qt::SmoothTransformation);
        m_scaled.setDevicePixelRatio(ratio);
    }
    const QSizeF shown = m_scaled.deviceIndependentSize();
    QPainter painter(this);
    painter.drawPixmap(QPointF((width() - shown.width()) / 2, (height() - shown.height()) / 2),
                       m_scaled);
}

PreviewView::PreviewView(QWidget* parent)
    : QWidget(parent),
      m_title(new ElidedLabel(QString(), 2, this)),
      m_body(new QWidget(this)),
      m_bodyLayout(new QVBoxLayout(m_body)),
      m_source(new ElidedLabel(QString(), 1, this)) {
    setFixedSize(fixedSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(kPadding, kPadding, kPadding, kPadding);
    layout->setSpacing(kSpacing);

    m_title->setObjectName(QStringLiteral("title"));
    m_title->setFont(
        InterfaceStyle::font(m_title->font(), InterfaceStyle::subheadlinePixels, QFont::DemiBold));
    InterfaceStyle::setSecondary(m_title);
    layout->addWidget(m_title);

    // Takes all the room between the heading and the source line, also while empty.
    m_bodyLayout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_body, 1);

    m_source->setObjectName(QStringLiteral("source"));
    m_source->setFont(InterfaceStyle::font(m_source->font(), InterfaceStyle::captionPixels));
    InterfaceStyle::setSecondary(m_source);
    m_source->hide();
    layout->addWidget(m_source);
}

void PreviewView::setClip(const Clip& clip) {
    if (m_clip == clip) {
        return;
    }
    clear();
    m_clip = clip;
    m_title->setText(titleFor(clip));
    m_content = makeContent(clip);
    m_bodyLayout->addWidget(m_content);
    const bool hasSource = clip.source && !clip.source->isEmpty();
    m_source->setText(hasSource ? *clip.source : QString());
    m_source->setVisible(hasSource);
}

void PreviewView::clear() {
    drop(m_thumbnailDecode);
    drop(m_imageDecode);
    m_clip.reset();
    m_title->setText(QString());
    m_source->setText(QString());
    m_source->hide();
    delete m_content;
    m_content = nullptr;
}

QString PreviewView::title() const {
    return m_title->text();
}

QWidget* PreviewView::makeContent(const Clip& clip) {
    switch (clip.effectiveKind()) {
        case ClipKind::text:
            return textContent(clip.value, m_body);
        case ClipKind::color:
            return colourContent(clip.value, m_body);
        case ClipKind::image:
            return imageContent(clip);
        case ClipKind::files: {
            auto* files =
                new FilePreview(clip.filePaths(FilePreview::maxRows), clip.fileCount(), m_body);
            files->setObjectName(QStringLiteral("files"));
            return files;
        }
    }
    return new QWidget(m_body);
}

QWidget* PreviewView::imageContent(const Clip& clip) {
    if (!clip.imagePath || clip.imagePath->isEmpty()) {
        return missingImage();
    }
    auto* view = new FittedImage(QPixmap(), m_body);
    view->setObjectName(QStringLiteral("image"));
    // The small thumbnail shows until the full image arrives. A path without ".png" has no
    // thumbnail of its own.
    const QString& path = *clip.imagePath;
    if (ImageThumbnail::pathFor(path) != path) {
        m_thumbnailDecode = decode(ImageThumbnail::pathFor(path), &PreviewView::thumbnailLanded);
    }
    m_imageDecode = decode(path, &PreviewView::imageLanded);
    return view;
}

QWidget* PreviewView::missingImage() {
    auto* missing = centredMessage(QStringLiteral("La imagen ya no está disponible."), m_body);
    missing->setObjectName(QStringLiteral("missingImage"));
    return missing;
}

PreviewView::Decode* PreviewView::decode(const QString& path,
                                         void (PreviewView::*landed)(const QImage&)) {
    // Never larger than the body can be, in device pixels, so a huge picture costs little memory.
    const QSize bound = (fixedSize - QSize(2 * kPadding, 2 * kPadding)) * devicePixelRatioF();
    auto* watcher = new Decode(this);
    connect(watcher, &Decode::finished, this, [this, watcher, landed] {
        const QFuture<QImage> future = watcher->future();
        (this->*landed)(future.resultCount() > 0 ? future.result() : QImage());
    });
    watcher->setFuture(ImageDecoding::readLater(path, bound, Qt::KeepAspectRatio));
    return watcher;
}

void PreviewView::thumbnailLanded(const QImage& image) {
    drop(m_thumbnailDecode);
    if (!image.isNull()) {
        if (auto* view = qobject_cast<FittedImage*>(m_content)) {
            view->setPixmap(QPixmap::fromImage(image));
        }
    }
}

void PreviewView::imageLanded(const QImage& image) {
    drop(m_thumbnailDecode);
    drop(m_imageDecode);
    if (image.isNull()) {
        delete m_content;
        m_content = missingImage();
        m_bodyLayout->addWidget(m_content);
    } else if (auto* view = qobject_cast<FittedImage*>(m_content)) {
        view->setPixmap(QPixmap::fromImage(image));
    }
}

void PreviewView::drop(Decode*& decode) {
    if (decode) {
        // One not yet started is skipped; one under way runs to its end and is thrown away.
        if (!decode->isFinished()) {
            decode->future().cancel();
        }
        decode->disconnect();
        decode->deleteLater();
        decode = nullptr;
    }
}

QString PreviewView::titleFor(const Clip& clip) {
    switch (clip.kind) {
        case ClipKind::text:
            return ClipIdentity::parseHex(clip.value) ? QStringLiteral("Color")
                                                      : QStringLiteral("Texto");
        case ClipKind::image:
            return clip.listTitle();
        case ClipKind::color:
            return QStringLiteral("Color");
        case ClipKind::files: {
            const qsizetype count = clip.fileCount();
            if (count == 0) {
                return QStringLiteral("Archivos");
            }
            if (count == 1) {
                return lastPathComponent(clip.filePaths(1).first());
            }
            return QStringLiteral("%1 archivos").arg(formatCount(count));
        }
    }
    return QString();
}

QColor PreviewView::swatchColor(const QString& value) {
    if (const auto rgba = ClipIdentity::parseHex(value)) {
        return QColor::fromRgbF(static_cast<float>(rgba->red), static_cast<float>(rgba->green),
                                static_cast<float>(rgba->blue), static_cast<float>(rgba->alpha));
    }
    return QColor(142, 142, 147);
}

}  // namespace orv
