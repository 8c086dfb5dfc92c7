#include "platform/x11/X11PlatformServices.h"

#include <QGuiApplication>

namespace orv {

X11PlatformServices::X11PlatformServices()
    : m_pasteboard(QGuiApplication::clipboard()),
      m_primary(QGuiApplication::clipboard(), QClipboard::Selection) {}

}  // namespace orv
