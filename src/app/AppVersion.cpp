#include "app/AppVersion.h"

#include <QCoreApplication>

namespace orv {

namespace AppVersion {

QString current() {
    const QString version = QCoreApplication::applicationVersion();
    return version.isEmpty() ? QStringLiteral("—") : version;
}

}  // namespace AppVersion

}  // namespace orv
