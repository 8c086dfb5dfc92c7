#include "platform/xdg/XdgAutostartLoginItem.h"

#include "platform/ApplicationId.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace orv {

namespace {

// An Exec argument: double-quoted when it holds anything but plain characters, with ", `, $ and
// \ escaped inside the quotes, then every \ doubled again as a desktop-entry string, and % doubled.
QString execArgument(const QString& path) {
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    bool needsQuotes = false;
    for (QChar c : path) {
        needsQuotes = needsQuotes || reserved.contains(c);
    }
    QString argument;
    for (QChar c : path) {
        if (needsQuotes && (c == u'"' || c == u'`' || c == u'$' || c == u'\\')) {
            argument += u'\\';
        }
        argument += c;
    }
    if (needsQuotes) {
        argument = u'"' + argument + u'"';
    }
    argument.replace(u'\\', QStringLiteral("\\\\"));
    argument.replace(u'%', QStringLiteral("%%"));
    return argument;
}

}  // namespace

XdgAutostartLoginItem::XdgAutostartLoginItem(QString entryPath, QString executable)
    : m_entryPath(std::move(entryPath)),
      m_executable(executable.isEmpty() ? QCoreApplication::applicationFilePath()
                                        : std::move(executable)) {}

QString XdgAutostartLoginItem::standardPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/") + applicationId + QStringLiteral(".desktop");
}

// The delay hints give the panel time to come up before the tray icon looks for it (the icon
// still finds a panel that comes later): GNOME's in seconds, Plasma's after its panel phase.
QByteArray XdgAutostartLoginItem::entry(const QString& executable) {
    return QStringLiteral(
               "[Desktop Entry]\n"
               "Type=Application\n"
               "Name=Orvantide\n"
               "Comment=Historial del portapapeles\n"
               "Exec=%1\n"
               "Icon=%2\n"
               "Terminal=false\n"
               "Categories=Utility;\n"
               "X-GNOME-Autostart-enabled=true\n"
               "X-GNOME-Autostart-Delay=3\n"
               "X-KDE-autostart-after=panel\n")
        .arg(execArgument(executable), applicationId)
        .toUtf8();
}

LoginItemService::Status XdgAutostartLoginItem::status() const {
    QFile file(m_entryPath);
    if (!QFileInfo(m_entryPath).isFile() || !file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        return Status::notRegistered;
    }
    // Turning the entry off in the desktop's own settings writes Hidden=true, or on GNOME
    // X-GNOME-Autostart-enabled=false.
    bool inMainGroup = false;
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype equals = line.indexOf(u'=');
        if (line.startsWith(u'[')) {
            inMainGroup = line == u"[Desktop Entry]";
        } else if (inMainGroup && equals > 0) {
            const QString key = line.left(equals).trimmed();
            const QString value = line.mid(equals + 1).trimmed();
            if ((key == u"Hidden" && value == u"true") ||
                (key == u"X-GNOME-Autostart-enabled" &&
                 value.compare(u"false", Qt::CaseInsensitive) == 0)) {
                return Status::notRegistered;
            }
        }
    }
    return Status::enabled;
}

std::optional<QString> XdgAutostartLoginItem::registerItem() {
    if (!QDir().mkpath(QFileInfo(m_entryPath).absolutePath())) {
        return QStringLiteral("No se pudo crear la carpeta de inicio automático.");
    }
    QSaveFile file(m_entryPath);
    const QByteArray text = entry(m_executable);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        return file.errorString();
    }
    return std::nullopt;
}

std::optional<QString> XdgAutostartLoginItem::unregisterItem() {
    QFile file(m_entryPath);
    if (file.exists() && !file.remove()) {
        return file.errorString();
    }
    return std::nullopt;
}

}  // namespace orv
