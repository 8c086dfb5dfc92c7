#pragma once

class QCoreApplication;

namespace orv {

namespace Localization {

// Qt's own Spanish texts (standard buttons, dialogs, context menus), whatever the session's
// language: the whole interface speaks Spanish. False when the translation files are missing.
bool installQtTranslations(QCoreApplication& application);

}  // namespace Localization

}  // namespace orv
