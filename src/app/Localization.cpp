#include "app/Localization.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>

#include <memory>

namespace orv {

namespace {
Q_LOGGING_CATEGORY(lcLocalization, "orv.app")
}

namespace Localization {

bool installQtTranslations(QCoreApplication& application) {
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qt_es"), folder) &&
        !translator->load(QStringLiteral("qtbase_es"), folder)) {
        qCWarning(lcLocalization) << "no Spanish Qt translation in" << folder
                                  << "(package qt6-translations-l10n): standard buttons stay in "
                                     "English";
        return false;
    }
    if (!QCoreApplication::installTranslator(translator.get())) {
        return false;
    }
    // The application keeps using it until it ends.
    translator.release()->setParent(&application);
    return true;
}

}  // namespace Localization

}  // namespace orv
