#include "preview/FileTypeIcon.h"

#include "ui/SymbolIcon.h"

#include <QGuiApplication>
#include <QHash>
#include <QMimeDatabase>
#include <QPalette>

namespace orv {

namespace FileTypeIcon {

namespace {

const QString kGenericData = QStringLiteral("application-octet-stream");

}  // namespace

QString extension(const QString& path) {
    const QString name = lastPathComponent(path);
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot < 0 ? QString() : name.mid(dot + 1);
}

QStringList themeNames(const QString& path) {
    QStringList names;
    const QString suffix = extension(path);
    if (!suffix.isEmpty()) {
        // A made-up name keeps whole-name patterns ("README", "Makefile") out of the match, so
        // only the extension decides.
        const QList<QMimeType> types =
            QMimeDatabase().mimeTypesForFileName(QStringLiteral("file.") + suffix);
        for (const QMimeType& type : types) {
            for (const QString& name : {type.iconName(), type.genericIconName()}) {
                if (!name.isEmpty() && !names.contains(name)) {
                    names.append(name);
                }
            }
        }
    }
    if (!names.contains(kGenericData)) {
        names.append(kGenericData);
    }
    return names;
}

QIcon image(const QString& path) {
    for (const QString& name : themeNames(path)) {
        if (QIcon::hasThemeIcon(name)) {
            return QIcon::fromTheme(name);
        }
    }
    // Sessions without an icon theme still get a picture, one per text colour: a new icon on each
    // call would leave a scaled copy of it in the pixmap cache every time a file is drawn.
    static QHash<QRgb, QIcon> fallbacks;
    const QRgb colour = QGuiApplication::palette().color(QPalette::WindowText).rgba();
    auto fallback = fallbacks.constFind(colour);
    if (fallback == fallbacks.constEnd()) {
        fallback = fallbacks.insert(
            colour, SymbolIcon::icon(QStringLiteral("doc"), QColor::fromRgba(colour)));
    }
    return *fallback;
}

}  // namespace FileTypeIcon

}  // namespace orv
