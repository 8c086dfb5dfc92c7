#pragma once

#include <QSize>
#include <QWidget>

class QLabel;
class QPushButton;

namespace orv {

class PermissionStatus;

// The content of the "Permisos" window: why automatic pasting needs Accessibility, and either the
// permission as granted or the button that asks for it.
class PermissionsView : public QWidget {
    Q_OBJECT

public:
    static constexpr QSize fixedSize{480, 420};

    explicit PermissionsView(PermissionStatus& status, QWidget* parent = nullptr);

    PermissionStatus& status() const { return m_status; }
    QLabel* explanation() const { return m_explanation; }
    // "Concedido" with its check mark.
    QWidget* grantedLabel() const { return m_granted; }
    QLabel* restartHint() const { return m_restartHint; }
    QPushButton* grantButton() const { return m_grantButton; }
    // Which mechanism each desktop service goes through.
    void setMechanisms(const QStringList& lines);
    QLabel* mechanisms() const { return m_mechanisms; }

private:
    QWidget* buildHeader();
    QWidget* buildCard();
    void showStatus();

    PermissionStatus& m_status;
    QLabel* m_explanation = nullptr;
    QWidget* m_granted = nullptr;
    QLabel* m_grantedText = nullptr;
    QLabel* m_restartHint = nullptr;
    QPushButton* m_grantButton = nullptr;
    QLabel* m_mechanisms = nullptr;
};

}  // namespace orv
