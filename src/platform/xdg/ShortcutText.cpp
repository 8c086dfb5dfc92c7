#include "platform/xdg/ShortcutText.h"

#include <QKeySequence>

#include <array>
#include <utility>

namespace orv {

namespace ShortcutText {

namespace {

struct Word {
    const char* qt;
    const char16_t* desktop;
};

// Qt's translation calls Backspace "Borrar", which desktops keep for Delete.
constexpr std::array kWords{
    Word{"Ctrl", u"Ctrl"},           Word{"Alt", u"Alt"},
    Word{"Shift", u"Mayús"},         Word{"Meta", u"Super"},
    Word{"Backspace", u"Retroceso"},
};

}  // namespace

QString desktopWord(const QString& qtName) {
    for (const Word& word : kWords) {
        if (qtName == QLatin1String(word.qt)) {
            return QString::fromUtf16(word.desktop);
        }
    }
    return {};
}

QString modifiers(Qt::KeyboardModifiers modifiers) {
    constexpr std::array kOrder{
        std::pair{Qt::ControlModifier, "Ctrl"},
        std::pair{Qt::AltModifier, "Alt"},
        std::pair{Qt::ShiftModifier, "Shift"},
        std::pair{Qt::MetaModifier, "Meta"},
    };
    QString text;
    for (const auto& [modifier, name] : kOrder) {
        if (modifiers.testFlag(modifier)) {
            text += desktopWord(QLatin1String(name)) + u'+';
        }
    }
    return text;
}

QString of(QKeyCombination key) {
    if (key.key() == Qt::Key_unknown) {
        return modifiers(key.keyboardModifiers()) + u'?';
    }
    const QKeySequence alone(key.key());
    QString name = desktopWord(alone.toString(QKeySequence::PortableText));
    if (name.isNull()) {
        name = alone.toString(QKeySequence::NativeText);
    }
    return modifiers(key.keyboardModifiers()) + name;
}

}  // namespace ShortcutText

}  // namespace orv
