// A window to type into: a line edit that takes the focus and prints its whole text on each change.
//   paste_target <app_id>
// The app_id is the desktop file name; under XWayland the window class is the same name (the
// instance comes from RESOURCE_NAME).
// Return empties the line; Ctrl+Shift+V pastes in capitals, so that a terminal's paste chord can be
// told from Ctrl+V.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QShortcut>

#include <cstdio>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "wayland");
    }
    QApplication app(argc, argv);
    const QString appId = app.arguments().value(1, QStringLiteral("orv.destino"));
    QGuiApplication::setDesktopFileName(appId);
    QCoreApplication::setApplicationName(appId);

    QLineEdit edit;
    edit.setWindowTitle(QStringLiteral("Destino ") + appId);
    QObject::connect(&edit, &QLineEdit::textChanged, [](const QString& text) {
        std::printf("%s\n", text.toUtf8().constData());
        std::fflush(stdout);
    });
    QObject::connect(&edit, &QLineEdit::returnPressed, &edit, &QLineEdit::clear);
    QShortcut terminalPaste(Qt::CTRL | Qt::SHIFT | Qt::Key_V, &edit);
    QObject::connect(&terminalPaste, &QShortcut::activated,
                     [&edit] { edit.insert(QGuiApplication::clipboard()->text().toUpper()); });
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    return app.exec();
}
