#include "app/LaunchAlert.h"

#include "store/Error.h"

#include <sqlite3.h>

#include <array>
#include <initializer_list>

namespace orv {

namespace LaunchAlert {

namespace {

struct Cause {
    std::initializer_list<int> codes;
    // %1 is the database's path.
    const char* explanation;
};

// The store keeps SQLite's own message, which for these failures is its text for the code.
const std::array kCauses{
    Cause{{SQLITE_NOTADB, SQLITE_CORRUPT},
          "«%1» no es un historial que Orvantide pueda leer: el archivo está dañado o es de otro "
          "programa. Apártalo (muévelo a otra carpeta o cámbiale el nombre) y vuelve a abrir "
          "Orvantide para empezar un historial nuevo."},
    Cause{{SQLITE_CANTOPEN, SQLITE_READONLY, SQLITE_PERM, SQLITE_AUTH},
          "No se puede leer y escribir «%1»: comprueba que es un archivo y que tienes permiso "
          "para modificarlo, y vuelve a abrir Orvantide."},
    Cause{{SQLITE_BUSY, SQLITE_LOCKED},
          "Otro programa tiene bloqueado «%1». Ciérralo y vuelve a abrir Orvantide."},
    Cause{{SQLITE_FULL},
          "No queda espacio en el disco para «%1». Libera espacio y vuelve a abrir Orvantide."},
};

QString explanation(const QString& sqliteMessage, const QString& databasePath) {
    for (const Cause& cause : kCauses) {
        for (const int code : cause.codes) {
            if (sqliteMessage == QLatin1String(sqlite3_errstr(code))) {
                return QString::fromUtf8(cause.explanation).arg(databasePath);
            }
        }
    }
    return QStringLiteral("Orvantide no pudo leer ni escribir su historial, «%1».")
        .arg(databasePath);
}

}  // namespace

std::unique_ptr<QMessageBox> create(const std::exception& error, const QString& databasePath) {
    auto alert = std::make_unique<QMessageBox>(QMessageBox::Critical, QStringLiteral("Orvantide"),
                                               QStringLiteral("No se pudo abrir el historial"));
    const auto* known = dynamic_cast<const Error*>(&error);
    if (known != nullptr && known->kind() == Error::Kind::file) {
        // Written in Spanish by the store, with the path.
        alert->setInformativeText(known->message());
        return alert;
    }
    const QString detail = QString::fromUtf8(error.what());
    alert->setInformativeText(explanation(detail, databasePath));
    alert->setDetailedText(detail);
    return alert;
}

}  // namespace LaunchAlert

}  // namespace orv
