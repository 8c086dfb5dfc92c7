// Orvantide: the clipboard history in the tray. The executable (src/launcher) loads it.
#include "app/AppDelegate.h"
#include "app/AppIcon.h"
#include "app/Localization.h"
#include "app/QuitSignals.h"
#include "commands/CommandClient.h"
#include "commands/CommandLine.h"
#include "commands/DBusService.h"
#include "commands/SingleInstance.h"
#include "platform/ApplicationId.h"

#include <QApplication>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <optional>

#include <unistd.h>

using namespace orv;

namespace {

constexpr auto kHelp =
    "Uso: orvantide [opción]\n"
    "     orvantide <orden> [argumentos]\n"
    "Historial del portapapeles: guarda lo que copias y lo devuelve con Ctrl+Alt+V.\n"
    "\n"
    "  --toggle    abre o cierra la paleta de la instancia en marcha (o la inicia)\n"
    "  --service   inicia la instancia sin abrir nada, si no hay ya una en marcha\n"
    "  --version   muestra la versión\n"
    "  --help      muestra esta ayuda\n"
    "  --          termina las opciones de una orden: lo que sigue no es una opción\n"
    "              (orvantide get -- 42)\n"
    "\n"
    "Órdenes (hablan con la instancia en marcha y la inician si hace falta):\n"
    "  list [--limit N] [--kind texto|imagen|color|archivos] [--search TEXTO] [--json | -0]\n"
    "              lista los clips: fijados primero, luego del más reciente al más antiguo\n"
    "              (id, tipo, «fijado» o «-», título; separados por tabuladores, una línea por\n"
    "              clip o, con -0 o --null, terminados en NUL; --json: un objeto\n"
    "              {\"schema\": 1, \"clips\": […]})\n"
    "  get ID      escribe el contenido del clip (una imagen, como PNG)\n"
    "  copy ID     pone el clip en el portapapeles, sin pegarlo\n"
    "  add [--type MIME]\n"
    "              guarda la entrada estándar como un clip y escribe su id: sin --type, texto\n"
    "              sin espacios en los extremos; con --type, tal cual: text/plain, text/html\n"
    "              (con su texto), text/uri-list (archivos) o una imagen (image/png, image/jpeg…)\n"
    "  delete ID   borra el clip\n"
    "  pin ID      fija el clip\n"
    "  unpin ID    deja de fijarlo\n"
    "  clear       borra todos los clips no fijados\n"
    "  pause       deja de guardar lo que se copia\n"
    "  resume      vuelve a guardarlo\n"
    "  toggle      igual que --toggle\n"
    "  status [--json]\n"
    "              dice cuántos clips hay, si la captura está en pausa y qué usa cada servicio\n"
    "              del escritorio (lo que muestra la ventana «Permisos»)\n"
    "  quit        cierra la instancia en marcha, como «Salir de Orvantide»; sin ninguna, lo\n"
    "              dice y no inicia ninguna\n"
    "\n"
    "Estado de salida: 0 hecho, 1 fallo (con el motivo en la salida de errores), 2 uso "
    "incorrecto.\n"
    "\n"
    "Archivos:\n"
    "  ~/.local/share/com.quarnelbrisk.orvantide/\n"
    "              la carpeta del historial, privada (0700): history.db, la base de datos SQLite\n"
    "  ~/.local/share/com.quarnelbrisk.orvantide/images/\n"
    "              las imágenes copiadas y sus miniaturas (UUID.png, UUID.thumb.png)\n"
    "  ~/.config/com.quarnelbrisk.orvantide/defaults.json\n"
    "              los ajustes, privados (0600)\n"
    "  ~/.config/autostart/com.quarnelbrisk.orvantide.desktop\n"
    "              la entrada de inicio automático, cuando se abre al iniciar sesión\n"
    "  $XDG_RUNTIME_DIR/orvantide-SESIÓN.socket, orvantide-SESIÓN.socket.lock\n"
    "              el socket y el cerrojo de la instancia de cada sesión (SESIÓN es la pantalla,\n"
    "              _0 para :0); sin XDG_RUNTIME_DIR, en /tmp/orvantide-UID/\n"
    "\n"
    "Entorno:\n"
    "  XDG_DATA_HOME\n"
    "              sustituye a ~/.local/share en la carpeta del historial\n"
    "  XDG_CONFIG_HOME\n"
    "              sustituye a ~/.config en los ajustes y la entrada de inicio automático\n"
    "  XDG_RUNTIME_DIR\n"
    "              la carpeta del socket y del cerrojo de la instancia\n"
    "  TMPDIR      sustituye a /tmp cuando no hay XDG_RUNTIME_DIR\n"
    "  DISPLAY     la pantalla X11 (o XWayland) en la que se abre la paleta; nombra la sesión\n"
    "  WAYLAND_DISPLAY\n"
    "              la sesión Wayland: sus servicios (portapapeles, teclado virtual, ventanas)\n"
    "  QT_QPA_PLATFORM\n"
    "              la plataforma de Qt; sin ella, xcb (X11 o XWayland)\n"
    "  XDG_CURRENT_DESKTOP\n"
    "              el escritorio: en GNOME se ofrece crear su atajo de teclado\n"
    "  DBUS_SESSION_BUS_ADDRESS\n"
    "              el bus de sesión (servicio D-Bus, portales, notificaciones)\n";

// Standard input, up to one byte past the most `add` accepts; `error` says why it could not be
// read.
QByteArray readStandardInput(QString& error) {
    QByteArray input;
    char chunk[65536];
    while (input.size() <= CommandLine::maximumInputBytes) {
        const ssize_t count = ::read(STDIN_FILENO, chunk, sizeof(chunk));
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count < 0) {
            error = errno == EBADF
                        ? QStringLiteral("la entrada estándar está cerrada; no se ha añadido nada")
                        : QStringLiteral(
                              "no se pudo leer la entrada estándar (%1); no se ha "
                              "añadido nada")
                              .arg(QString::fromLocal8Bit(std::strerror(errno)));
        }
        if (count <= 0) {
            break;
        }
        input.append(chunk, count);
    }
    return input;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int orvantide_main(int argc, char** argv) {
    // A hosted test run starts nothing at all.
    if (qEnvironmentVariableIsSet("XCTestConfigurationFilePath")) {
        return 0;
    }
    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    const CommandLine::Parsed parsed = CommandLine::parse(arguments);
    using Action = CommandLine::Parsed::Action;
    switch (parsed.action) {
        case Action::help:
            std::fputs(kHelp, stdout);
            return 0;
        case Action::version:
            std::printf("Orvantide %s\n", ORV_VERSION);
            return 0;
        case Action::usage:
            std::fprintf(stderr, "orvantide: %s\n", parsed.error.toLocal8Bit().constData());
            return 2;
        case Action::launch:
        case Action::command:
            break;
    }
    // `orvantide toggle` is `--toggle`: the palette, even from an instance it starts.
    const bool toggleVerb =
        parsed.action == Action::command && parsed.request.verb == CommandLine::Verb::toggle;
    const bool command = parsed.action == Action::command && !toggleVerb;
    const bool toggle = parsed.toggle || toggleVerb;
    // The hot key, the synthetic paste and the active-window lookup speak X11 (XWayland too).
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "xcb");
    }
    constexpr auto kNoSession =
        "orvantide: hace falta una sesión de escritorio gráfica (no hay DISPLAY).\n";
    const bool canStart = qgetenv("QT_QPA_PLATFORM") == "xcb"
                              ? !qEnvironmentVariableIsEmpty("DISPLAY")
                              : SingleInstance::hasSession();
    // Where the instance runs is told by the session, or found without one (ssh, cron).
    const QString instance = SingleInstance::standardName();

    if (command) {
        if (const QString refusal = SingleInstance::refusal(); !refusal.isEmpty()) {
            std::fprintf(stderr, "orvantide: %s\n", refusal.toLocal8Bit().constData());
            return 1;
        }
        const bool quit = parsed.request.verb == CommandLine::Verb::quit;
        if (quit && !SingleInstance::isRunning(instance)) {
            std::fputs("orvantide: no hay ninguna instancia de Orvantide en marcha.\n", stderr);
            return 1;
        }
        if (!canStart && !SingleInstance::isRunning(instance)) {
            std::fputs(
                "orvantide: no hay ninguna instancia en marcha, y sin una sesión de "
                "escritorio gráfica (DISPLAY) no se puede iniciar.\n",
                stderr);
            return 1;
        }
        // A closed pipe on standard output is a failure to report, not a reason to die.
        std::signal(SIGPIPE, SIG_IGN);
        QByteArray input;
        if (parsed.request.verb == CommandLine::Verb::add) {
            QString error;
            input = readStandardInput(error);
            if (error.isEmpty()) {
                error = CommandLine::inputError(input, parsed.request.type);
            }
            if (!error.isEmpty()) {
                std::fprintf(stderr, "orvantide: %s\n", error.toLocal8Bit().constData());
                return 1;
            }
        }
        // Qt's sockets need an event dispatcher for a connection the instance is slow to accept.
        QCoreApplication client(argc, argv);
        return CommandClient::run(
            arguments, input, instance, {},
            quit ? CommandClient::Start::never : CommandClient::Start::whenNeeded);
    }

    // Before anything else starts: a launch while another instance runs, or is still starting,
    // hands it the request and leaves.
    switch (SingleInstance::claim(
        instance, std::chrono::seconds(20),
        parsed.service ? SingleInstance::HandOver::nothing : SingleInstance::HandOver::toggle)) {
        case SingleInstance::Claim::first:
            if (!canStart) {
                std::fputs(kNoSession, stderr);
                return 1;
            }
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
    QApplication::setDesktopFileName(applicationId);
    Localization::installQtTranslations(app);
    // Every window and alert carries it.
    QApplication::setWindowIcon(AppIcon::icon());

    // At once, so that later launches are not kept waiting for the whole start-up.
    SingleInstance server(instance);
    server.listen();
    AppDelegate delegate;
    if (!delegate.applicationDidFinishLaunching(parsed.forCommands)) {
        // The subcommand that started this instance says it.
        SingleInstance::leaveNote(instance, delegate.launchFailure());
        return 1;
    }
    QObject::connect(&server, &SingleInstance::toggleRequested, &delegate, [&delegate] {
        delegate.retryHotKey();
        delegate.togglePalette();
    });
    server.deliverToggles();
    server.serveCommands(delegate.commands());
    std::optional<DBusService> bus;
    if (DBusService::sessionBusAdvertised()) {
        bus.emplace(*delegate.commands());
        bus->start();
    }
    if (toggle) {
        delegate.togglePalette();
    }
    return app.exec();
}
