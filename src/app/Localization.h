#pragma once

class QCoreApplication;

namespace orv {

namespace Localization {

// Qt's own Spanish texts (standard buttons, dialogs, context menus), whatever the session's
// language: the whole interface speaks Spanish. The shortcuts Qt writes in menus ("Pegar\tCtrl+V")
// take the desktops' words, as the rest of the interface writes them (ShortcutText). False when
// Qt's translation files are missing.
bool installQtTranslations(QCoreApplication& application);

}  // namespace Localization

}  // namespace orv
