#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

namespace orv {

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

}  // namespace orv
