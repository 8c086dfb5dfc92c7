#pragma once

#include <QList>
#include <QString>
#include <QWidget>

class QLabel;
class QVBoxLayout;

namespace orv {

// A titled group of settings on a faintly filled, outlined rounded rectangle: the symbol in a small
// circle and the title, then the items, all 14 pixels apart.
class SettingsCard : public QWidget {
    Q_OBJECT

public:
    SettingsCard(const QString& title, const QString& systemImage, QWidget* parent = nullptr);

    const QString& title() const { return m_title; }
    const QString& systemImage() const { return m_systemImage; }

    // Appends an item below the earlier ones; the card takes ownership.
    void addItem(QWidget* item);
    const QList<QWidget*>& items() const { return m_items; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void drawBadge();

    QString m_title;
    QString m_systemImage;
    QVBoxLayout* m_layout;
    QLabel* m_badge;
    QList<QWidget*> m_items;
};

}  // namespace orv
