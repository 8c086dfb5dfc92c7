// Orvantide: the clipboard history in the tray.
#include "app/AppDelegate.h"
#include "app/AppIcon.h"
#include "app/Localization.h"
#include "app/QuitSignals.h"
#include "app/SingleInstance.h"

#include <QApplication>

#include <cstdio>

using namespace orv;

namespace {

constexpr auto kHelp =
    "Uso: orvantide [opción]\n"
    "Historial del portapapeles: guarda lo que copias y lo devuelve con Ctrl+Alt+V.\n"
    "\n"
    "  --toggle    abre o cierra la paleta de la instancia en marcha (o la inicia)\n"
    "  --version   muestra la versión\n"
    "  --help      muestra esta ayuda\n";

}  // namespace

int main(int argc, char** argv) {
    // A hosted test run starts nothing at all.
    if (qEnvironmentVariableIsSet("XCTestConfigurationFilePath")) {
        return 0;
    }
    bool toggle = false;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--help" || argument == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (argument == "--version" || argument == "-v") {
            std::printf("Orvantide %s\n", ORV_VERSION);
            return 0;
        }
        if (argument == "--toggle") {
            toggle = true;
        } else {
            std::fprintf(stderr, "orvantide: opción desconocida «%s» (prueba --help)\n", argv[i]);
            return 2;
        }
    }
    // The hot key, the synthetic paste and the active-window lookup speak X11 (XWayland too).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    if (qgetenv("QT_QPA_PLATFORM") == "xcb" && qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::fputs("orvantide: hace falta una sesión de escritorio gráfica (no hay DISPLAY).\n",
                   stderr);
        return 1;
    }

    // Before anything else starts: a launch while another instance runs, or is still starting,
    // hands it the request and leaves.
    switch (SingleInstance::claim()) {
        case SingleInstance::Claim::first:
            break;
        case SingleInstance::Claim::handedOver:
            return 0;
        case SingleInstance::Claim::unanswered:
            std::fputs("orvantide: ya hay otra instancia en marcha, pero no responde.\n", stderr);
            return 1;
    }

    QApplication app(argc, argv);
    QuitSignals::install(&app);
    QApplication::setApplicationName(QStringLiteral("Orvantide"));
    QApplication::setApplicationVersion(QStringLiteral(ORV_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("com.quarnelbrisk.orvantide"));
    Localization::installQtTranslations(app);
    // Every window and alert carries it.
    QApplication::setWindowIcon(AppIcon::icon());

    // At once, so that later launches are not kept waiting for the whole start-up.
    SingleInstance instance;
    instance.listen();
    AppDelegate delegate;
    if (!delegate.applicationDidFinishLaunching()) {
        return 1;
    }
    QObject::connect(&instance, &SingleInstance::toggleRequested, &delegate, [&delegate] {
        delegate.retryHotKey();
        delegate.togglePalette();
    });
    instance.deliverToggles();
    if (toggle) {
        delegate.togglePalette();
    }
    return app.exec();
}
