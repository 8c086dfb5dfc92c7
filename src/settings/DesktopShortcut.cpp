#include "settings/DesktopShortcut.h"

#include "logging/Logging.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QKeySequence>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

#include <QCoro/QCoroProcess>

#include <optional>

namespace orv {

namespace {

const QString kListSchema = QStringLiteral("org.gnome.settings-daemon.plugins.media-keys");
const QString kBindingSchema =
    QStringLiteral("org.gnome.settings-daemon.plugins.media-keys.custom-keybinding");
const QString kListKey = QStringLiteral("custom-keybindings");
constexpr int kToolTimeoutMs = 10'000;

// gsettings' own quoting of a string value.
QString quoted(const QString& text) {
    QString escaped = text;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'\'', QStringLiteral("\\'"));
    return u'\'' + escaped + u'\'';
}

// (Arguments are built outside the coroutines: g++ 12 rejects braced lists of strings there.)

// One run of the tool: its output, or nothing when it failed (said in `error`).
QCoro::Task<std::optional<QString>> gsettings(QStringList arguments, QString& error) {
    QProcess process;
    // A program that cannot start is known at once; QCoro would wait out its timeout for it.
    const QString program = QStandardPaths::findExecutable(QString::fromUtf8("gsettings"));
    if (program.isEmpty()) {
        error = QString::fromUtf8("no se encuentra gsettings");
        co_return std::nullopt;
    }
    process.setProgram(program);
    process.setArguments(arguments);
    auto run = qCoro(process);
    if (!co_await run.start(QIODevice::ReadOnly, std::chrono::milliseconds(kToolTimeoutMs)) ||
        !co_await run.waitForFinished(kToolTimeoutMs) ||
        process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        error = QString::fromUtf8(process.readAllStandardError()).trimmed();
        if (error.isEmpty()) {
            error = process.errorString();
        }
        process.kill();
        co_return std::nullopt;
    }
    co_return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Reads the list of custom shortcuts; with `paths`, writes it with ours added.
QStringList listArguments(std::optional<QStringList> paths = std::nullopt) {
    if (!paths) {
        return {QStringLiteral("get"), kListSchema, kListKey};
    }
    QStringList items;
    for (const QString& path : *paths + QStringList{DesktopShortcut::gnomePath}) {
        items.append(quoted(path));
    }
    return {QStringLiteral("set"), kListSchema, kListKey,
            u'[' + items.join(QStringLiteral(", ")) + u']'};
}

QList<QStringList> bindingArguments(QKeyCombination key) {
    const QString binding = kBindingSchema + u':' + DesktopShortcut::gnomePath;
    const auto set = [&](const QString& name, const QString& value) {
        return QStringList{QStringLiteral("set"), binding, name, quoted(value)};
    };
    return {set(QStringLiteral("name"), QStringLiteral("Orvantide")),
            set(QStringLiteral("command"), DesktopShortcut::toggleCommand()),
            set(QStringLiteral("binding"), DesktopShortcut::gnomeAccelerator(key))};
}

QString failure(const QString& error) {
    return QStringLiteral("No se pudo crear el atajo de GNOME: ") + error;
}

QString created(QKeyCombination key) {
    return QStringLiteral("Atajo de GNOME creado: %1 ejecuta «%2».")
        .arg(QKeySequence(key).toString(QKeySequence::NativeText),
             DesktopShortcut::toggleCommand());
}

// "['/a/', '/b/']" or "@as []" → the paths.
QStringList pathsOf(const QString& list) {
    QStringList paths;
    static const QRegularExpression path(QStringLiteral("'([^']*)'"));
    for (const auto& match : path.globalMatch(list)) {
        paths.append(match.captured(1));
    }
    return paths;
}

}  // namespace

DesktopShortcut::DesktopShortcut(QObject* parent) : QObject(parent) {
    m_canCreate = qEnvironmentVariable("XDG_CURRENT_DESKTOP").contains(u"GNOME") &&
                  !QStandardPaths::findExecutable(QStringLiteral("gsettings")).isEmpty();
}

QString DesktopShortcut::toggleCommand() {
    const QString self = QCoreApplication::applicationFilePath();
    const QString onPath = QStandardPaths::findExecutable(QStringLiteral("orvantide"));
    const bool byName = !onPath.isEmpty() && QFileInfo(onPath).canonicalFilePath() ==
                                                 QFileInfo(self).canonicalFilePath();
    return (byName || self.isEmpty() ? QStringLiteral("orvantide") : self) +
           QStringLiteral(" --toggle");
}

QString DesktopShortcut::gnomeAccelerator(QKeyCombination key) {
    QString accelerator;
    const Qt::KeyboardModifiers modifiers = key.keyboardModifiers();
    if (modifiers.testFlag(Qt::ControlModifier)) {
        accelerator += QStringLiteral("<Control>");
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        accelerator += QStringLiteral("<Alt>");
    }
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        accelerator += QStringLiteral("<Shift>");
    }
    if (modifiers.testFlag(Qt::MetaModifier)) {
        accelerator += QStringLiteral("<Super>");
    }
    QString name = QKeySequence(key.key()).toString(QKeySequence::PortableText);
    // Letters are keysyms in lower case; named keys (F5, Insert, Space) keep their case.
    if (name.size() == 1) {
        name = name.toLower();
    }
    return accelerator + name;
}

QCoro::Task<> DesktopShortcut::create(QKeyCombination key) {
    if (m_creating) {
        co_return;
    }
    m_creating = true;
    emit changed();
    QString error;
    const auto list = co_await gsettings(listArguments(), error);
    if (!list) {
        finish(failure(error));
        co_return;
    }
    for (const QStringList& step : bindingArguments(key)) {
        if (!co_await gsettings(step, error)) {
            finish(failure(error));
            co_return;
        }
    }
    const QStringList paths = pathsOf(*list);
    if (!paths.contains(gnomePath) && !co_await gsettings(listArguments(paths), error)) {
        finish(failure(error));
        co_return;
    }
    finish(created(key));
}

void DesktopShortcut::finish(const QString& result) {
    qCInfo(lcShortcut).noquote() << result;
    m_creating = false;
    m_result = result;
    emit changed();
}

}  // namespace orv
