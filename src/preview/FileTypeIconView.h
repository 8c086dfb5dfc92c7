#pragma once

#include <QIcon>
#include <QString>
#include <QWidget>

namespace orv {

// A file's type icon in a square of `side` device-independent pixels, scaled to fit and centred.
class FileTypeIconView : public QWidget {
    Q_OBJECT
public:
    FileTypeIconView(const QString& path, int side, QWidget* parent = nullptr);

    const QString& path() const { return m_path; }
    int side() const { return m_side; }
    const QIcon& icon() const { return m_icon; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_path;
    int m_side;
    // Looked up once: the path never changes and the theme lookup is not free.
    QIcon m_icon;
};

}  // namespace orv
