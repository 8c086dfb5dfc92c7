#include "settings/SettingsView.h"

#include "hotkey/HotKey.h"
#include "model/PreferencesStore.h"
#include "platform/xdg/ShortcutText.h"
#include "settings/DesktopShortcut.h"
#include "settings/HotKeyRecorder.h"
#include "settings/SettingsCard.h"
#include "ui/Accessibility.h"
#include "ui/InterfaceStyle.h"
#include "ui/SymbolIcon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace orv {

namespace {

// Text sizes, in device-independent pixels.
constexpr int kCaptionTrailing = 56;

// The editor of excluded applications: no frame of its own, the text 8 pixels in from the edges of
// a faint rounded fill.
class ExcludedEditor : public QPlainTextEdit {
public:
    explicit ExcludedEditor(QWidget* parent) : QPlainTextEdit(parent) {
        setFrameShape(QFrame::NoFrame);
        viewport()->setAutoFillBackground(false);
        document()->setDocumentMargin(8);
        setFixedHeight(80);
        setTabChangesFocus(true);
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        {
            QPainter painter(viewport());
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setPen(Qt::NoPen);
            painter.setBrush(InterfaceStyle::primary(palette(), 0.06));
            painter.drawRoundedRect(QRectF(viewport()->rect()), 8, 8);
        }
        QPlainTextEdit::paintEvent(event);
    }
};

}  // namespace

SettingsView::SettingsView(PreferencesStore& preferences, QWidget* parent)
    : QWidget(parent), m_preferences(preferences) {
    setFixedSize(fixedSize);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_header = buildHeader();
    layout->addWidget(m_header);

    m_scrollArea = new QScrollArea(this);
    m_scrollArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_scrollArea->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_scrollArea->setFrameShape(QFrame::NoFrame);
    m_scrollArea->setWidgetResizable(true);
    m_scrollArea->setFocusPolicy(Qt::NoFocus);
    auto* content = new QWidget;
    auto* stack = new QVBoxLayout(content);
    stack->setContentsMargins(24, 0, 24, 24);
    stack->setSpacing(16);
    m_generalCard = buildGeneralCard();
    m_shortcutCard = buildShortcutCard();
    m_historyCard = buildHistoryCard();
    stack->addWidget(m_generalCard);
    stack->addWidget(m_shortcutCard);
    stack->addWidget(m_historyCard);
    stack->addStretch(1);
    m_scrollArea->setWidget(content);
    // The window's own background shows through; the cards bring their own fill.
    content->setAutoFillBackground(false);
    m_scrollArea->viewport()->setAutoFillBackground(false);
    layout->addWidget(m_scrollArea, 1);

    followPreferences();
}

QStringList SettingsView::excludedAppsFrom(const QString& text) {
    QStringList apps;
    for (const QString& line : text.split(u'\n', Qt::SkipEmptyParts)) {
        const QString app = line.trimmed();
        if (!app.isEmpty()) {
            apps.append(app);
        }
    }
    return apps;
}

// A recording ends while this view can still pass it on; the recorder would otherwise report it
// while the window is being taken down, after this view is gone.
SettingsView::~SettingsView() {
    if (m_recorder->isRecording()) {
        m_recorder->setRecording(false);
    }
    m_recorder->disconnect();
}

void SettingsView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (event->spontaneous()) {
        return;
    }
    // Each opening starts from the stored list. Replacing the text counts as an edit, so a
    // non-empty list is assigned again, already normalised.
    const QString stored = m_preferences.excludedApps().join(u'\n');
    if (m_excluded->toPlainText() != stored) {
        m_excluded->setPlainText(stored);
    }
}

QWidget* SettingsView::buildHeader() {
    auto* header = new AccessibleContainer(this);
    Accessibility::setRole(header, QAccessible::Heading);
    auto* row = new QHBoxLayout(header);
    row->setContentsMargins(24, 20, 24, 16);
    row->setSpacing(12);

    auto* mark = new QLabel(header);
    mark->setFixedSize(22, 22);
    mark->setPixmap(SymbolIcon::fallback(QStringLiteral("MenuIcon"), 22,
                                         InterfaceStyle::primary(palette(), 1.0)));
    row->addWidget(mark, 0, Qt::AlignVCenter);

    auto* titles = new QVBoxLayout;
    titles->setContentsMargins(0, 0, 0, 0);
    titles->setSpacing(2);
    auto* name = new QLabel(QStringLiteral("Orvantide"), header);
    name->setFont(InterfaceStyle::font(font(), InterfaceStyle::titlePixels, QFont::DemiBold));
    auto* subtitle = new QLabel(QStringLiteral("Preferencias"), header);
    subtitle->setFont(InterfaceStyle::font(font(), InterfaceStyle::subheadlinePixels));
    InterfaceStyle::setSecondary(subtitle);
    titles->addWidget(name);
    titles->addWidget(subtitle);
    row->addLayout(titles);
    row->addStretch(1);

    // Read out as one heading.
    header->setAccessibleName(QStringLiteral("Orvantide, Preferencias"));
    return header;
}

SettingsCard* SettingsView::buildGeneralCard() {
    auto* card = new SettingsCard(QStringLiteral("General"), QStringLiteral("slider.horizontal.3"));
    m_autoPaste = new QCheckBox(QStringLiteral("&Pegar automáticamente"));
    m_paused = new QCheckBox(QStringLiteral("Pa&usar captura"));
    m_launchAtLogin = new QCheckBox(QStringLiteral("&Abrir al iniciar sesión"));
    card->addItem(toggleRow(m_autoPaste,
                            QStringLiteral("Oculta Orvantide y pega en la aplicación anterior.")));
    m_remoteDesktopKeys = new QCheckBox(QStringLiteral("Pegar mediante el &escritorio remoto"));
    m_remoteDesktopRow = toggleRow(
        m_remoteDesktopKeys,
        QStringLiteral("Este escritorio solo deja enviar teclas a través de su portal de "
                       "escritorio remoto: pedirá permiso una vez. Sin él, el clip se copia y lo "
                       "pegas tú con Ctrl+V."));
    m_remoteDesktopRow->hide();
    card->addItem(m_remoteDesktopRow);
    m_remoteDesktopNote = caption(QString());
    m_remoteDesktopNote->hide();
    card->addItem(m_remoteDesktopNote);
    card->addItem(divider());
    card->addItem(toggleRow(m_paused));
    card->addItem(divider());
    card->addItem(toggleRow(m_launchAtLogin));
    m_launchStatus = caption(QString());
    card->addItem(m_launchStatus);
    card->addItem(divider());
    m_permissionsButton = new QPushButton(QStringLiteral("Per&misos y servicios del escritorio…"));
    m_permissionsButton->setFont(InterfaceStyle::font(font(), InterfaceStyle::bodyPixels));
    card->addItem(m_permissionsButton);
    connect(m_permissionsButton, &QPushButton::clicked, this, &SettingsView::permissionsRequested);

    // Whatever ticks a box (mouse, keyboard, assistive technology) applies it; following the
    // preferences blocks these signals, so it never writes back.
    connect(m_autoPaste, &QCheckBox::toggled, this,
            [this](bool on) { m_preferences.setAutoPaste(on); });
    connect(m_paused, &QCheckBox::toggled, this, [this](bool on) { m_preferences.setPaused(on); });
    connect(m_remoteDesktopKeys, &QCheckBox::toggled, this,
            [this](bool on) { m_preferences.setRemoteDesktopKeys(on); });
    connect(m_launchAtLogin, &QCheckBox::toggled, this,
            [this](bool on) { m_preferences.setLaunchAtLogin(on); });
    return card;
}

SettingsCard* SettingsView::buildShortcutCard() {
    auto* card = new SettingsCard(QStringLiteral("Atajo"), QStringLiteral("keyboard"));
    m_recorder = new HotKeyRecorder(m_preferences.hotKey());
    connect(m_recorder, &HotKeyRecorder::comboChanged, &m_preferences,
            &PreferencesStore::setHotKey);
    // The old shortcut must not fire while a new one is being typed.
    connect(m_recorder, &HotKeyRecorder::recordingChanged, &m_preferences,
            &PreferencesStore::setHotKeySuspended);
    card->addItem(m_recorder);
    // Why the shortcut does not work; in the text colour, so it stands out from the captions.
    m_hotKeyStatus = caption(QString());
    QPalette colors = m_hotKeyStatus->palette();
    colors.setColor(QPalette::WindowText, InterfaceStyle::primary(palette(), 0.85));
    m_hotKeyStatus->setPalette(colors);
    card->addItem(m_hotKeyStatus);
    m_shortcutButton = new QPushButton(QStringLiteral("Crear el atajo en GNOME"));
    m_shortcutButton->setFont(InterfaceStyle::font(font(), InterfaceStyle::bodyPixels));
    m_shortcutButton->hide();
    card->addItem(m_shortcutButton);
    m_shortcutResult = caption(QString());
    m_shortcutResult->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_shortcutResult->hide();
    card->addItem(m_shortcutResult);
    card->addItem(caption(QStringLiteral("Abre y cierra el historial. El valor inicial es %1.")
                              .arg(ShortcutText::of(HotKey::defaultCombination))));
    return card;
}

SettingsCard* SettingsView::buildHistoryCard() {
    auto* card = new SettingsCard(QStringLiteral("Historial"), QStringLiteral("list.bullet"));

    m_maxItems = new QComboBox;
    for (int value : PreferencesStore::allowedMax) {
        m_maxItems->addItem(QString::number(value), value);
    }
    m_retention = new QComboBox;
    for (int days : PreferencesStore::allowedRetentionDays) {
        m_retention->addItem(
            days == 0 ? QStringLiteral("Siempre") : QStringLiteral("%1 días").arg(days), days);
    }
    card->addItem(labeledPicker(QStringLiteral("Clips má&ximos"), m_maxItems));
    card->addItem(labeledPicker(QStringLiteral("Conser&var durante"), m_retention));
    card->addItem(excludedBlock());

    connect(m_maxItems, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            m_preferences.setMaxItems(m_maxItems->itemData(index).toInt());
        }
    });
    connect(m_retention, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) {
            m_preferences.setRetentionDays(m_retention->itemData(index).toInt());
        }
    });
    return card;
}

QWidget* SettingsView::toggleRow(QCheckBox* toggle, const QString& captionText) {
    auto* row = new QWidget;
    auto* column = new QVBoxLayout(row);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(4);
    toggle->setParent(row);
    toggle->setFont(InterfaceStyle::font(font(), InterfaceStyle::bodyPixels));
    column->addWidget(toggle);
    if (!captionText.isEmpty()) {
        toggle->setAccessibleDescription(captionText);
        QLabel* label = caption(captionText);
        label->setParent(row);
        column->addWidget(label);
    }
    return row;
}

QWidget* SettingsView::labeledPicker(const QString& labelText, QComboBox* picker) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* label = new QLabel(labelText, row);
    label->setFont(InterfaceStyle::font(font(), InterfaceStyle::bodyPixels));
    label->setBuddy(picker);
    picker->setParent(row);
    picker->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    picker->setAccessibleName(QString(labelText).remove(u'&'));
    layout->addWidget(label);
    // Grows, but never brings the picker closer than 12 pixels to its label.
    layout->addItem(new QSpacerItem(12, 0, QSizePolicy::MinimumExpanding, QSizePolicy::Minimum));
    layout->addWidget(picker);
    return row;
}

QWidget* SettingsView::excludedBlock() {
    auto* block = new QWidget;
    auto* column = new QVBoxLayout(block);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(8);
    auto* title = new QLabel(QStringLiteral("Aplicaciones excluidas"), block);
    title->setFont(InterfaceStyle::font(font(), InterfaceStyle::subheadlinePixels));
    m_excluded = new ExcludedEditor(block);
    m_excluded->setFont(InterfaceStyle::font(font(), InterfaceStyle::bodyPixels));
    m_excluded->setAccessibleName(title->text());
    QLabel* hint = caption(
        QStringLiteral("Una aplicación por línea. El contenido confidencial se ignora siempre."));
    hint->setParent(block);
    column->addWidget(title);
    column->addWidget(m_excluded);
    column->addWidget(hint);
    m_exclusionsNote = caption(QString());
    m_exclusionsNote->setParent(block);
    m_exclusionsNote->hide();
    column->addWidget(m_exclusionsNote);

    connect(m_excluded, &QPlainTextEdit::textChanged, this, &SettingsView::excludedTextChanged);
    return block;
}

void SettingsView::setRemoteDesktopOffered(bool offered) {
    m_remoteDesktopRow->setVisible(offered);
    m_remoteDesktopNote->setVisible(offered && !m_remoteDesktopNote->text().isEmpty());
}

void SettingsView::setRemoteDesktopNote(const QString& note) {
    m_remoteDesktopNote->setText(note);
    m_remoteDesktopNote->setVisible(!note.isEmpty() && !m_remoteDesktopRow->isHidden());
}

void SettingsView::setExclusionsNote(const QString& note) {
    m_exclusionsNote->setText(note);
    m_exclusionsNote->setVisible(!note.isEmpty());
}

void SettingsView::setDesktopShortcut(DesktopShortcut* shortcut) {
    m_shortcut = shortcut;
    if (m_shortcut == nullptr) {
        return;
    }
    connect(m_shortcut, &DesktopShortcut::changed, this, &SettingsView::showDesktopShortcut);
    connect(&m_preferences, &PreferencesStore::hotKeyStatusChanged, this,
            &SettingsView::showDesktopShortcut);
    connect(m_shortcutButton, &QPushButton::clicked, this, [this] {
        if (const QKeyCombination key = m_preferences.hotKey(); key.key() != Qt::Key_unknown) {
            m_shortcut->create(key);
        }
    });
    showDesktopShortcut();
}

void SettingsView::showDesktopShortcut() {
    const bool offered = m_shortcut != nullptr && m_shortcut->canCreate();
    m_shortcutButton->setVisible(offered && !m_preferences.hotKeyStatus().isEmpty());
    m_shortcutButton->setEnabled(offered && !m_shortcut->isCreating());
    const QString result = m_shortcut ? m_shortcut->result() : QString();
    m_shortcutResult->setText(result);
    m_shortcutResult->setVisible(!result.isEmpty());
}

QLabel* SettingsView::caption(const QString& text) {
    auto* label = new QLabel(text);
    label->setFont(InterfaceStyle::font(font(), InterfaceStyle::captionPixels));
    label->setWordWrap(true);
    label->setContentsMargins(0, 0, kCaptionTrailing, 0);
    InterfaceStyle::setSecondary(label);
    return label;
}

QWidget* SettingsView::divider() {
    auto* line = new QFrame;
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Plain);
    line->setFixedHeight(1);
    QPalette colors = line->palette();
    colors.setColor(QPalette::WindowText, InterfaceStyle::primary(palette(), 0.12 * 0.6));
    line->setPalette(colors);
    return line;
}

void SettingsView::followPreferences() {
    const auto syncSwitches = [this] {
        const QSignalBlocker blockAutoPaste(m_autoPaste);
        const QSignalBlocker blockPaused(m_paused);
        const QSignalBlocker blockLaunch(m_launchAtLogin);
        const QSignalBlocker blockRemote(m_remoteDesktopKeys);
        m_autoPaste->setChecked(m_preferences.autoPaste());
        m_paused->setChecked(m_preferences.paused());
        m_launchAtLogin->setChecked(m_preferences.launchAtLogin());
        m_remoteDesktopKeys->setChecked(m_preferences.remoteDesktopKeys());
    };
    const auto syncStatus = [this] {
        const QString& status = m_preferences.launchAtLoginStatus();
        m_launchStatus->setText(status);
        m_launchStatus->setVisible(!status.isEmpty());
    };
    const auto syncHotKeyStatus = [this] {
        const QString& status = m_preferences.hotKeyStatus();
        m_hotKeyStatus->setText(status);
        m_hotKeyStatus->setVisible(!status.isEmpty());
    };
    const auto syncPickers = [this] {
        const QSignalBlocker blockMax(m_maxItems);
        const QSignalBlocker blockRetention(m_retention);
        m_maxItems->setCurrentIndex(m_maxItems->findData(m_preferences.maxItems()));
        m_retention->setCurrentIndex(m_retention->findData(m_preferences.retentionDays()));
    };
    syncSwitches();
    syncStatus();
    syncHotKeyStatus();
    syncPickers();

    PreferencesStore* preferences = &m_preferences;
    connect(preferences, &PreferencesStore::autoPasteChanged, this, syncSwitches);
    connect(preferences, &PreferencesStore::pausedChanged, this, syncSwitches);
    connect(preferences, &PreferencesStore::launchAtLoginChanged, this, syncSwitches);
    connect(preferences, &PreferencesStore::remoteDesktopKeysChanged, this, syncSwitches);
    connect(preferences, &PreferencesStore::launchAtLoginStatusChanged, this, syncStatus);
    connect(preferences, &PreferencesStore::hotKeyStatusChanged, this, syncHotKeyStatus);
    connect(preferences, &PreferencesStore::maxItemsChanged, this, syncPickers);
    connect(preferences, &PreferencesStore::retentionDaysChanged, this, syncPickers);
    connect(preferences, &PreferencesStore::hotKeyChanged, this,
            [this] { m_recorder->setCombo(m_preferences.hotKey()); });
}

void SettingsView::excludedTextChanged() {
    m_preferences.setExcludedApps(excludedAppsFrom(m_excluded->toPlainText()));
}

}  // namespace orv
