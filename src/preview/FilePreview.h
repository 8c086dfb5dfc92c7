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
// of icons and names for several. A clip may hold tens of thousands of paths: the list shows the
// first rows, enough to fill the panel, and one line with the count of the rest.
class FilePreview : public QWidget {
    Q_OBJECT
public:
    static constexpr int singleIconSide = 128;
    static constexpr int rowIconSide = 28;
    static constexpr int maxRows = 10;

    // `paths` are the first of `count` paths; at most maxRows of them are kept.
    FilePreview(const QStringList& paths, qsizetype count, QWidget* parent = nullptr);
    explicit FilePreview(const QStringList& paths, QWidget* parent = nullptr);

    // The paths shown, in order.
    const QStringList& paths() const { return m_paths; }
    qsizetype count() const { return m_count; }

    // The line under the rows for `hidden` more paths: "y 49 990 más".
    static QString moreText(qsizetype hidden);

private:
    QStringList m_paths;
    qsizetype m_count;
};
