#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

// Text wrapped onto at most `maxLines` lines; what does not fit ends the last line with "…".
// QLabel can only clip, which cuts file names and titles mid-letter.
class ElidedLabel : public QWidget {
    Q_OBJECT
public:
    explicit ElidedLabel(const QString& text = {}, int maxLines = 1, QWidget* parent = nullptr);

    const QString& text() const { return m_text; }
    void setText(const QString& text);
    int maxLines() const { return m_maxLines; }

    // The lines as drawn at the given width.
    QStringList lines(int width) const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_text;
    int m_maxLines;
};

// The body of a files clip: a message for none, one large icon for one file, and a scrolling list
// of icons and names for several.
class FilePreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int singleIconSide = 128;
    static constexpr int rowIconSide = 28;

    explicit FilePreview(const QStringList& paths, QWidget* parent = nullptr);

    const QStringList& paths() const { return m_paths; }

private:
    QStringList m_paths;
};
