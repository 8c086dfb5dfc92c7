#pragma once

#include "store/Clip.h"

#include <QColor>
#include <QFutureWatcher>
#include <QImage>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QWidget>

#include <optional>

class QVBoxLayout;

namespace orv {

class ElidedLabel;

// A rounded square filled with a clip's colour.
class ColorSwatch : public QWidget {
    Q_OBJECT
public:
    static constexpr int side = 148;

    explicit ColorSwatch(const QColor& color, QWidget* parent = nullptr);
    const QColor& color() const { return m_color; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor m_color;
};

// An image scaled to fit the widget with its aspect ratio kept, centred; empty until it has one.
class FittedImage : public QWidget {
    Q_OBJECT
public:
    explicit FittedImage(const QPixmap& pixmap = {}, QWidget* parent = nullptr);
    const QPixmap& pixmap() const { return m_pixmap; }
    void setPixmap(const QPixmap& pixmap);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    QPixmap m_pixmap;
    // The last scaled copy, kept until the size changes: smooth scaling a large picture on every
    // paint would make hovering sluggish.
    QPixmap m_scaled;
};

// The content of the hover preview: a heading, the clip in full and the application it came from.
class PreviewView : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize fixedSize{360, 320};

    explicit PreviewView(QWidget* parent = nullptr);

    // Rebuilds the content; the same clip again keeps it (and its scroll position) as it is. An
    // image is decoded off the main thread: its thumbnail stands in until it arrives.
    void setClip(const Clip& clip);
    // Drops the content, and with it any loaded image or decode under way.
    void clear();
    const std::optional<Clip>& clip() const { return m_clip; }
    // The full image of the clip shown is still being decoded.
    bool imagePending() const { return m_imageDecode != nullptr; }

    // The heading as shown now; empty without a clip.
    QString title() const;

    static QString titleFor(const Clip& clip);
    // The value's colour; gray when it is no hex colour.
    static QColor swatchColor(const QString& value);

private:
    using Decode = QFutureWatcher<QImage>;

    QWidget* makeContent(const Clip& clip);
    QWidget* imageContent(const Clip& clip);
    QWidget* missingImage();
    Decode* decode(const QString& path, void (PreviewView::*landed)(const QImage&));
    void thumbnailLanded(const QImage& image);
    void imageLanded(const QImage& image);
    static void drop(Decode*& decode);

    std::optional<Clip> m_clip;
    ElidedLabel* m_title;
    QWidget* m_body;
    QVBoxLayout* m_bodyLayout;
    QWidget* m_content = nullptr;
    ElidedLabel* m_source;
    // Decodes for the clip shown; dropped with it, so a late result never lands on another clip.
    Decode* m_thumbnailDecode = nullptr;
    Decode* m_imageDecode = nullptr;
};

}  // namespace orv
