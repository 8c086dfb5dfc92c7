#include "platform/PlatformServices.h"

#include "platform/x11/X11PlatformServices.h"

#include <QGuiApplication>
#include <QLoggingCategory>

namespace orv {

namespace {
Q_LOGGING_CATEGORY(lcPlatform, "orv.platform")
}

std::unique_ptr<PlatformServices> PlatformServices::create() {
    auto services = std::make_unique<X11PlatformServices>();
    const QString platform = QGuiApplication::platformName();
    if (platform == u"xcb") {
        qCInfo(lcPlatform) << "desktop services:" << services->name();
    } else {
        qCWarning(lcPlatform) << "desktop services:" << services->name() << "on Qt platform"
                              << platform
                              << "- the hot key, pasting and the frontmost window "
                                 "need an X11 session";
    }
    return services;
}

}  // namespace orv
