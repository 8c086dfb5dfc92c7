// Another application for the X11 tests: offers several types on the clipboard at once (which
// xclip cannot) and exits when another client takes the clipboard over. A value @PATH is the
// file's bytes.
//   clipboard_owner TYPE=VALUE [TYPE=VALUE…]
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    auto* mime = new QMimeData;
    for (const QString& argument : app.arguments().mid(1)) {
        const qsizetype equals = argument.indexOf(u'=');
        const QString value = argument.mid(equals + 1);
        QFile file(value.mid(1));
        if (value.startsWith(u'@') && file.open(QIODevice::ReadOnly)) {
            mime->setData(argument.left(equals), file.readAll());
        } else {
            mime->setData(argument.left(equals), value.toUtf8());
        }
    }
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setMimeData(mime, QClipboard::Clipboard);
    QObject::connect(clipboard, &QClipboard::changed, &app, [clipboard] {
        if (!clipboard->ownsClipboard()) {
            QGuiApplication::quit();
        }
    });
    QTimer::singleShot(120'000, &app, &QGuiApplication::quit);
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}
