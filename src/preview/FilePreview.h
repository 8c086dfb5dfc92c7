#pragma once

#include "ui/ElidedLabel.h"

#include <QString>
#include <QStringList>
#include <QWidget>

namespace orv {

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

}  // namespace orv
