#include "app/Localization.h"

#include "logging/Logging.h"
#include "platform/xdg/ShortcutText.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

#include <memory>

namespace orv {

namespace {

// Asked before Qt's translation: the modifier and key names of shortcuts, nothing else.
class DesktopShortcutWords : public QTranslator {
public:
    using QTranslator::QTranslator;

    bool isEmpty() const override { return false; }

    QString translate(const char* context, const char* sourceText, const char* disambiguation,
                      int n) const override {
        Q_UNUSED(disambiguation)
        Q_UNUSED(n)
        if (sourceText == nullptr || qstrcmp(context, "QShortcut") != 0) {
            return {};
        }
        return ShortcutText::desktopWord(QString::fromUtf8(sourceText));
    }
};

// The application keeps it until it ends.
bool install(QCoreApplication& application, std::unique_ptr<QTranslator> translator) {
    if (!QCoreApplication::installTranslator(translator.get())) {
        return false;
    }
    translator.release()->setParent(&application);
    return true;
}

}  // namespace

namespace Localization {

bool installQtTranslations(QCoreApplication& application) {
    auto translator = std::make_unique<QTranslator>();
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool installed = false;
    if (translator->load(QStringLiteral("qt_es"), folder) ||
        translator->load(QStringLiteral("qtbase_es"), folder)) {
        installed = install(application, std::move(translator));
    } else {
        qCWarning(lcApp) << "no Spanish Qt translation in" << folder
                         << "(package qt6-translations-l10n): standard buttons stay in "
                            "English";
    }
    // Installed last, so asked first; even over Qt's English.
    install(application, std::make_unique<DesktopShortcutWords>());
    return installed;
}

}  // namespace Localization

}  // namespace orv
