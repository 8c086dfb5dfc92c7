#include "platform/ShortcutText.h"

#include <QKeySequence>

namespace orv {

namespace ShortcutText {

QString modifiers(Qt::KeyboardModifiers modifiers) {
    QString text;
    if (modifiers.testFlag(Qt::ControlModifier)) {
        text += QStringLiteral("Ctrl+");
    }
    if (modifiers.testFlag(Qt::AltModifier)) {
        text += QStringLiteral("Alt+");
    }
    if (modifiers.testFlag(Qt::ShiftModifier)) {
        text += QStringLiteral("Mayús+");
    }
    if (modifiers.testFlag(Qt::MetaModifier)) {
        text += QStringLiteral("Super+");
    }
    return text;
}

QString of(QKeyCombination key) {
    // Qt's translation calls it "Borrar", which desktops keep for Delete.
    const QString name = key.key() == Qt::Key_Backspace
                             ? QStringLiteral("Retroceso")
                             : QKeySequence(key.key()).toString(QKeySequence::NativeText);
    return modifiers(key.keyboardModifiers()) + name;
}

}  // namespace ShortcutText

}  // namespace orv
