// The whole program in a Wayland session (headless sway): its clipboard over data-control, its
// palette an XWayland window. wl-copy, wl-paste and a helper are the other applications.
#include "support/ProgramSession.h"
#include "support/TestImages.h"

#include <QUrl>

using namespace orv;

namespace {

class ProgramWaylandTest : public ProgramSession {
protected:
    static void wlCopy(const QByteArray& data, const QString& type) {
        runTool("wl-copy", {"--type", type}, data);
    }
};

}  // namespace

TEST_F(ProgramWaylandTest, RecordsWhatIsCopiedAndAChosenClipGoesBackOnTheClipboard) {
    // The application the user is in. With no window to go back to, sway leaves the hidden palette
    // as XWayland's active window, and copies would count as made in Orvantide.
    start("xterm", {"-e", "sleep", "300"});
    const QByteArrayList terminal = findWindows({"--sync", "--onlyvisible", "--class", "XTerm"});
    ASSERT_FALSE(terminal.isEmpty());
    startProgram();

    const QByteArray png = TestImages::png(30, 20, Qt::yellow);
    wlCopy(png, "image/png");
    const QString imagePath = scalarSoon("SELECT image FROM clips WHERE kind = 'image'");
    QFile image(imagePath);
    ASSERT_TRUE(image.open(QIODevice::ReadOnly)) << imagePath.toStdString();
    EXPECT_EQ(image.readAll(), png);

    QTemporaryDir files;
    const QString a = files.filePath("informe.pdf");
    const QString b = files.filePath("foto de grupo.jpg");
    QFile(a).open(QIODevice::WriteOnly);
    QFile(b).open(QIODevice::WriteOnly);
    wlCopy(QUrl::fromLocalFile(a).toEncoded() + "\r\n" + QUrl::fromLocalFile(b).toEncoded(),
           "text/uri-list");
    EXPECT_EQ(kindSoon(a + "\n" + b), "files");

    start(ORV_WAYLAND_OWNER, {"text/plain=con formato", "text/html=<b>con formato</b>"});
    EXPECT_EQ(kindSoon("con formato"), "text");
    EXPECT_EQ(RawDatabase::scalar(database(), "SELECT html FROM clips WHERE value = 'con formato'"),
              "<b>con formato</b>");
    const QString chosenAt =
        RawDatabase::scalar(database(), "SELECT created_at FROM clips WHERE value = 'con formato'");

    wlCopy("el más reciente", "text/plain");
    ASSERT_EQ(kindSoon("el más reciente"), "text");
    const QString rows = RawDatabase::scalar(database(), "SELECT count(*) FROM clips");

    // The hand-over of a second launch opens the palette; Down reaches the clip before the newest.
    command({"--toggle"});
    const QByteArrayList palette =
        findWindows({"--sync", "--onlyvisible", "--name", "^Orvantide$"});
    ASSERT_FALSE(palette.isEmpty()) << "the palette is on screen";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return runTool("xdotool", {"getactivewindow"}).trimmed() == palette.first(); },
        15000))
        << "with the keyboard";
    runTool("xdotool", {"key", "Down"});
    runTool("xdotool", {"key", "Return"});

    QByteArray pasted;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            pasted = runTool("wl-paste", {"-n", "-t", "text/plain"}, {}, true);
            return pasted == "con formato";
        },
        15000))
        << pasted.toStdString();
    EXPECT_EQ(runTool("wl-paste", {"-n", "-t", "text/html"}), "<b>con formato</b>");
    EXPECT_TRUE(findWindows({"--onlyvisible", "--name", "^Orvantide$"}).isEmpty())
        << "the palette closed";

    // Back in the terminal, two polls of the program's monitor, then one more copy.
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return runTool("xdotool", {"getactivewindow"}).trimmed() == terminal.first(); },
        15000));
    QTest::qWait(1000);
    wlCopy("después de elegir", "text/plain");
    EXPECT_EQ(kindSoon("después de elegir"), "text");
    EXPECT_EQ(RawDatabase::scalar(database(), "SELECT count(*) FROM clips").toInt(),
              rows.toInt() + 1);
    EXPECT_EQ(
        RawDatabase::scalar(database(), "SELECT created_at FROM clips WHERE value = 'con formato'"),
        chosenAt)
        << "our own write is not recorded again";
    EXPECT_EQ(program->state(), QProcess::Running);
}
