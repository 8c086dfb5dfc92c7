// How fast the running program answers the hot key while it reads the clipboard: xclip serves a
// 62 MB PNG or a 20 MB text, an owner takes the clipboard and never answers, and for reference
// nothing is being read. Each run presses Ctrl+Alt+V with xdotool once the program is reading (once
// xclip has sent its first megabyte; for the hung owner, past the polling tick), measures the
// time until the palette window is on screen, then types a letter and measures the time until the
// search field has it (the program's "orv.palette" debug line). Prints every run and the
// medians; the goal is 300 ms for both. Exits 1 when a run never showed the palette or the letter.
//   responsiveness_test PROGRAM HUNG_OWNER [runs]
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// Reading the clipboard starts at the program's next polling tick (0.45 s at most); an owner
// that never answers holds a read for seconds.
constexpr int kReadUnderwayMs = 500;
constexpr int kGiveUpMs = 15000;

struct CloseDisplay {
    void operator()(Display* display) const { XCloseDisplay(display); }
};

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

QByteArray bigPng(int width, int height) {
    QImage image(width, height, QImage::Format_ARGB32);
    QRandomGenerator random(62);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<quint32*>(image.scanLine(y));
        random.fillRange(line, width);
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG", 100);  // noise does not compress: spare the effort
    return bytes;
}

// Bytes a process has written so far (to its X connection, for xclip serving the clipboard).
qint64 written(const QByteArray& pid) {
    QFile io("/proc/" + pid + "/io");
    if (!io.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("wchar:")) {
            return line.mid(6).trimmed().toLongLong();
        }
    }
    return -1;
}

QByteArray newest(const QString& name) {
    QProcess pgrep;
    pgrep.start("pgrep", {"-n", "-x", name});
    pgrep.waitForFinished(5000);
    return pgrep.readAllStandardOutput().trimmed();
}

void xdotool(const QStringList& arguments) {
    QProcess tool;
    tool.start("xdotool", arguments);
    tool.waitForFinished(5000);
}

class Session {
public:
    explicit Session(const QString& program) : m_display(XOpenDisplay(nullptr)) {
        XSetErrorHandler(ignoreErrors);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QT_LOGGING_RULES", "orv.palette.debug=true");
        environment.insert("QT_FORCE_STDERR_LOGGING", "1");
        m_program.setProcessEnvironment(environment);
        m_program.setProcessChannelMode(QProcess::MergedChannels);
        m_program.start(program);
        m_program.waitForStarted(5000);
    }
    ~Session() {
        if (m_other != 0) {
            XDestroyWindow(m_display.get(), m_other);
        }
        m_program.kill();
        m_program.waitForFinished(5000);
    }
    bool running() const { return m_program.state() == QProcess::Running; }

    // Another application's window takes the focus, as when the user copies there (the program
    // ignores what is copied while its own window is in front).
    void focusOtherApplication() {
        Display* display = m_display.get();
        if (m_other == 0) {
            m_other = XCreateSimpleWindow(display, DefaultRootWindow(display), 100, 100, 300, 200,
                                          0, 0, 0xFFFFFF);
            XClassHint hint{const_cast<char*>("otra"), const_cast<char*>("Otra")};
            XSetClassHint(display, m_other, &hint);
            XStoreName(display, m_other, "Otra aplicación");
            XMapWindow(display, m_other);
            XSync(display, False);
        }
        xdotool({"windowactivate", "--sync", QString::number(m_other)});
    }

    // Waits, reading the program's output meanwhile, until `done` holds; false after the limit.
    bool waitFor(const std::function<bool()>& done, int limitMs = kGiveUpMs) {
        QElapsedTimer clock;
        clock.start();
        while (!done()) {
            if (clock.elapsed() > limitMs) {
                return false;
            }
            m_program.waitForReadyRead(1);
            m_output += m_program.readAll();
        }
        return true;
    }
    void pause(int ms) {
        waitFor([] { return false; }, ms);
    }

    // The palette is mapped and has the keyboard.
    bool paletteShown() { return viewable(palette()) && focused(palette()); }
    bool paletteGone() {
        const Window window = palette();
        return window == 0 || !viewable(window);
    }
    qsizetype outputSize() const { return m_output.size(); }
    bool printedSince(qsizetype offset, const QByteArray& text) const {
        return m_output.indexOf(text, offset) >= 0;
    }

private:
    Window palette() {
        if (m_palette == 0) {
            m_palette = find(DefaultRootWindow(m_display.get()), 0);
        }
        return m_palette;
    }
    Window find(Window window, int depth) {
        char* name = nullptr;
        if (XFetchName(m_display.get(), window, &name) != 0 && name != nullptr) {
            const bool found = qstrcmp(name, "Orvantide") == 0;
            XFree(name);
            if (found) {
                return window;
            }
        }
        Window root = 0;
        Window parent = 0;
        Window* children = nullptr;
        unsigned int count = 0;
        Window result = 0;
        if (depth < 3 && XQueryTree(m_display.get(), window, &root, &parent, &children, &count)) {
            for (unsigned int i = 0; i < count && result == 0; ++i) {
                result = find(children[i], depth + 1);
            }
        }
        if (children != nullptr) {
            XFree(children);
        }
        return result;
    }
    bool viewable(Window window) {
        XWindowAttributes attributes{};
        return window != 0 && XGetWindowAttributes(m_display.get(), window, &attributes) != 0 &&
               attributes.map_state == IsViewable;
    }
    bool focused(Window window) {
        Window focus = 0;
        int revert = 0;
        XGetInputFocus(m_display.get(), &focus, &revert);
        return focus == window;
    }

    std::unique_ptr<Display, CloseDisplay> m_display;
    Window m_palette = 0;
    Window m_other = 0;
    QProcess m_program;
    QByteArray m_output;
};

struct Figures {
    QList<qint64> shown;
    QList<qint64> letter;
    int failures = 0;
};

// One press of the hot key and one letter; the palette is closed again afterwards.
void measure(Session& session, Figures& figures, char letter) {
    QElapsedTimer clock;
    clock.start();
    xdotool({"key", "ctrl+alt+v"});
    if (!session.waitFor([&] { return session.paletteShown(); })) {
        std::printf("  the palette did not appear\n");
        ++figures.failures;
        return;
    }
    const qint64 shown = clock.elapsed();
    const qsizetype offset = session.outputSize();
    const QByteArray expected = QByteArray("query \"") + letter + '"';
    clock.restart();
    xdotool({"key", QString(QLatin1Char(letter))});
    const bool typed = session.waitFor([&] { return session.printedSince(offset, expected); });
    const qint64 letterMs = clock.elapsed();
    std::printf("  palette shown after %4lld ms, letter in the search field after %4lld ms%s\n",
                static_cast<long long>(shown), static_cast<long long>(letterMs),
                typed ? "" : " (never arrived)");
    figures.shown.append(shown);
    if (typed) {
        figures.letter.append(letterMs);
    } else {
        ++figures.failures;
    }
    // Escape first clears the search, then closes.
    for (int i = 0; i < 3 && !session.paletteGone(); ++i) {
        xdotool({"key", "Escape"});
        session.waitFor([&] { return session.paletteGone(); }, 1000);
    }
}

// xclip serves the file; the hot key is pressed once its first megabyte has gone to the program.
void serveAndMeasure(Session& session, Figures& figures, const QString& path, const QString& type,
                     char letter) {
    QProcess::execute("xclip", {"-selection", "clipboard", "-t", type, "-i", path});
    const QByteArray server = newest("xclip");
    const qint64 before = written(server);
    if (!session.waitFor([&] { return written(server) > before + (1 << 20); })) {
        std::printf("  the program never read it\n");
        ++figures.failures;
        return;
    }
    measure(session, figures, letter);
    session.pause(4000);
}

qint64 median(QList<qint64> values) {
    if (values.isEmpty()) {
        return -1;
    }
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void report(const char* name, const Figures& figures) {
    std::printf("%-34s palette %5lld ms   letter %5lld ms   (medians of %lld runs%s)\n", name,
                static_cast<long long>(median(figures.shown)),
                static_cast<long long>(median(figures.letter)),
                static_cast<long long>(figures.shown.size()),
                figures.failures ? ", with failures" : "");
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const QString program = app.arguments().value(1);
    const QString hungOwner = app.arguments().value(2);
    const int runs = app.arguments().value(3, "5").toInt();

    QTemporaryDir temp;
    const QString pngPath = temp.filePath("big.png");
    const QString textPath = temp.filePath("big.txt");
    {
        QFile png(pngPath);
        png.open(QIODevice::WriteOnly);
        png.write(bigPng(4000, 3900));
        QFile text(textPath);
        text.open(QIODevice::WriteOnly);
        const QByteArray line = "Una línea de texto copiada de un registro muy largo, número ";
        for (int i = 0; text.size() < 20'000'000; ++i) {
            text.write(line + QByteArray::number(i) + '\n');
        }
        std::printf("PNG of %.1f MB, text of %.1f MB\n", png.size() / 1e6, text.size() / 1e6);
    }

    Session session(program);
    session.pause(3000);  // started, first capture done
    Figures idle;
    Figures png;
    Figures text;
    Figures hung;
    for (int run = 0; run < runs && session.running(); ++run) {
        session.focusOtherApplication();
        std::printf("run %d: nothing being read\n", run + 1);
        measure(session, idle, 'a');
        session.pause(1000);

        session.focusOtherApplication();
        std::printf("run %d: a 62 MB PNG being read\n", run + 1);
        serveAndMeasure(session, png, pngPath, "image/png", 'b');

        session.focusOtherApplication();
        std::printf("run %d: a 20 MB text being read\n", run + 1);
        serveAndMeasure(session, text, textPath, "UTF8_STRING", 'd');

        session.focusOtherApplication();
        std::printf("run %d: an owner that never answers\n", run + 1);
        QProcess owner;
        owner.start(hungOwner);
        owner.waitForReadyRead(5000);
        session.pause(kReadUnderwayMs);
        measure(session, hung, 'c');
        session.pause(1000);
        owner.kill();
        owner.waitForFinished(5000);
        session.pause(6000);
    }
    std::printf("\n");
    report("nothing being read", idle);
    report("62 MB PNG being read", png);
    report("20 MB text being read", text);
    report("owner that never answers", hung);
    const bool ok =
        session.running() && !idle.failures && !png.failures && !text.failures && !hung.failures;
    std::printf("%s\n", ok ? "every run completed" : "FAIL: see the runs above");
    return ok ? 0 : 1;
}
