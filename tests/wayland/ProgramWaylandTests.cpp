// The whole program in a Wayland session (headless sway): its clipboard over data-control, its
// palette an XWayland window. wl-copy, wl-paste and a helper are the other applications.
#include "support/ExternalTool.h"
#include "support/RawDatabase.h"
#include "support/TestImages.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

using namespace orv;

namespace {

class ProgramWaylandTest : public ::testing::Test {
protected:
    ~ProgramWaylandTest() override {
        for (QProcess* process : processes) {
            process->kill();
            process->waitForFinished();
            delete process;
        }
    }

    // As a user starts it: the test's own offscreen platform is not passed on.
    QProcess* start(const QString& program, const QStringList& arguments = {}) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        auto* process = new QProcess;
        processes.append(process);
        process->setProcessEnvironment(environment);
        process->start(program, arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }
    static void wlCopy(const QByteArray& data, const QString& type) {
        runTool("wl-copy", {"--type", type}, data);
    }
    QString database() const {
        return qEnvironmentVariable("XDG_DATA_HOME") + "/com.quarnelbrisk.orvantide/history.db";
    }
    // Waits (generously: the machine may be loaded) for the query to give something.
    QString scalarSoon(const QString& query) {
        QString result;
        (void)QTest::qWaitFor(
            [&] {
                result = RawDatabase::scalar(database(), query);
                return !result.isEmpty();
            },
            15000);
        return result;
    }
    QString kindOfRowSoon(const QString& value) {
        return scalarSoon("SELECT kind FROM clips WHERE value = '" + value + "'");
    }

    QList<QProcess*> processes;
};

}  // namespace

TEST_F(ProgramWaylandTest, RecordsWhatIsCopiedAndAChosenClipGoesBackOnTheClipboard) {
    // The application the user is in. With no window to go back to, sway leaves the hidden palette
    // as XWayland's active window, and copies would count as made in Orvantide.
    start("xterm", {"-e", "sleep", "300"});
    const QByteArrayList terminal = findWindows({"--sync", "--onlyvisible", "--class", "XTerm"});
    ASSERT_FALSE(terminal.isEmpty());
    QProcess* program = start(ORV_PROGRAM);
    ASSERT_TRUE(QTest::qWaitFor([&] { return RawDatabase::hasTable(database(), "clips"); }, 15000));

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
    EXPECT_EQ(kindOfRowSoon(a + "\n" + b), "files");

    start(ORV_WAYLAND_OWNER, {"text/plain=con formato", "text/html=<b>con formato</b>"});
    EXPECT_EQ(kindOfRowSoon("con formato"), "text");
    EXPECT_EQ(RawDatabase::scalar(database(), "SELECT html FROM clips WHERE value = 'con formato'"),
              "<b>con formato</b>");
    const QString chosenAt =
        RawDatabase::scalar(database(), "SELECT created_at FROM clips WHERE value = 'con formato'");

    wlCopy("el más reciente", "text/plain");
    ASSERT_EQ(kindOfRowSoon("el más reciente"), "text");
    const QString rows = RawDatabase::scalar(database(), "SELECT count(*) FROM clips");

    // The hand-over of a second launch opens the palette; Down reaches the clip before the newest.
    QProcess* toggle = start(ORV_PROGRAM, {"--toggle"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return toggle->state() == QProcess::NotRunning; }, 15000));
    EXPECT_EQ(toggle->exitCode(), 0);
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
    EXPECT_EQ(kindOfRowSoon("después de elegir"), "text");
    EXPECT_EQ(RawDatabase::scalar(database(), "SELECT count(*) FROM clips").toInt(),
              rows.toInt() + 1);
    EXPECT_EQ(
        RawDatabase::scalar(database(), "SELECT created_at FROM clips WHERE value = 'con formato'"),
        chosenAt)
        << "our own write is not recorded again";
    EXPECT_EQ(program->state(), QProcess::Running);
}
