// The whole program under Weston (its X11 backend, nested in a private Xvfb): no data-control, so
// the clipboard comes through XWayland's bridge, and the palette is an XWayland window. Keys are
// typed on the outer display, as into Weston's own window.
#include "support/ProgramSession.h"
#include "support/TestImages.h"

using namespace orv;

namespace {

class WestonTest : public ProgramSession {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("ORV_OUTER_DISPLAY")) {
            GTEST_SKIP() << "not inside compositor-run.sh --compositor weston";
        }
    }
    // The clipboard as XWayland's clients see it.
    static QString x11Clipboard() {
        return runTool("xclip", {"-o", "-selection", "clipboard"}, {}, true);
    }
    void xclipCopy(const QByteArray& text) {
        start("xclip", {"-i", "-quiet", "-selection", "clipboard"})->write(text);
        processes.last()->closeWriteChannel();
    }
    // Keys typed on the display Weston draws into reach its focused window.
    static void typeKeys(const QStringList& keys) {
        runTool("env", QStringList{"DISPLAY=" + qEnvironmentVariable("ORV_OUTER_DISPLAY"),
                                   "xdotool", "key", "--delay", "100"} +
                           keys);
    }
};

}  // namespace

TEST_F(WestonTest, ThePaletteOpenedFromTheCommandLineTakesTheTypedKeys) {
    startProgram();
    // Copied in XWayland clients, whose copies the program reads directly.
    for (const QString& text : {QStringLiteral("zqueso"), QStringLiteral("otro")}) {
        xclipCopy(text.toUtf8());
        ASSERT_EQ(kindSoon(text), "text");
    }

    // A terminal in front, whose keys go to a file.
    QTemporaryDir folder;
    const QString typed = folder.filePath("typed");
    start("xterm", {"-e", "sh", "-c", "stty -icanon; exec cat > " + typed});
    const QByteArrayList terminal = findWindows({"--sync", "--onlyvisible", "--class", "XTerm"});
    ASSERT_FALSE(terminal.isEmpty());
    ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == terminal.first(); }, limit));

    command({"--toggle"});
    ASSERT_FALSE(visibleWindow("^Orvantide$").isEmpty());
    // The search narrows the list to the older clip, which Return chooses.
    typeKeys({"z", "q", "Return"});
    QString chosen;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            chosen = x11Clipboard();
            return chosen == "zqueso";
        },
        limit))
        << chosen.toStdString();
    QFile file(typed);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_FALSE(file.readAll().contains("zq")) << "the keys did not land in the terminal";
    EXPECT_EQ(program->state(), QProcess::Running);
}

TEST_F(WestonTest, AnImageThatTheBridgeOffersAsTextIsNoTextClip) {
    startProgram();
    // Weston's bridge offers the PNG to X11 as UTF8_STRING only; the program says why it skips it.
    // The bridge sometimes leaves a request unanswered: the copy is then made again.
    const QString garbage = "SELECT count(*) FROM clips WHERE instr(value, char(65533)) > 0";
    const QByteArray unanswered = "the clipboard owner did not answer";
    qsizetype copies = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            if (copies <= outputs[program].count(unanswered) && copies < 5) {
                ++copies;
                runTool("wl-copy", {"--type", "image/png"}, TestImages::png(30, 20, Qt::red));
                // Weston's window manager asks for the X selection only when an X event next
                // reaches it: an X client that starts is one.
                (void)QTest::qWaitFor(
                    [] {
                        return runTool("xclip", {"-o", "-selection", "clipboard", "-t", "TARGETS"},
                                       {}, true)
                            .contains("UTF8_STRING");
                    },
                    limit);
            }
            return outputs[program].contains("skipping UTF8_STRING as text") ||
                   RawDatabase::scalar(database(), garbage) != "0";
        },
        2 * limit))
        << outputs[program].toStdString();
    const QString text = QString::fromUtf8("Grüße, 木 y 🙂");
    xclipCopy(text.toUtf8());
    EXPECT_EQ(kindSoon(text), "text");
    EXPECT_EQ(RawDatabase::scalar(database(), garbage), "0") << "no text clip of the PNG's bytes";
    EXPECT_EQ(RawDatabase::scalar(database(), "SELECT count(*) FROM clips"), "1");
}
