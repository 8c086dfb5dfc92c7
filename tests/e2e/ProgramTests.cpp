// The whole program under Xvfb, as a user runs it: started from its binary with the wrapper's
// private HOME and XDG folders, with xclip and a helper as the other applications.
#include "support/ExternalTool.h"
#include "support/ProgramReady.h"
#include "support/RawDatabase.h"
#include "support/TestImages.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <gtest/gtest.h>

using namespace orv;

namespace {

QString supportFolder(const QString& dataHome) {
    return dataHome + "/com.quarnelbrisk.orvantide";
}

class ProgramTest : public ::testing::Test {
protected:
    ~ProgramTest() override {
        for (QProcess* process : processes) {
            process->kill();
            process->waitForFinished();
            delete process;
        }
    }

    QProcess* launch(
        const QStringList& arguments = {},
        const QProcessEnvironment& environment = QProcessEnvironment::systemEnvironment()) {
        auto* process = new QProcess;
        processes.append(process);
        process->setProcessEnvironment(environment);
        process->start(ORV_PROGRAM, arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }
    static bool finishes(QProcess* process, int timeoutMs = 10000) {
        return QTest::qWaitFor([&] { return process->state() == QProcess::NotRunning; }, timeoutMs);
    }
    static void xclipCopy(const QByteArray& data, const QString& type) {
        runTool("xclip", {"-selection", "clipboard", "-t", type, "-i"}, data);
    }
    QString database() const {
        return supportFolder(qEnvironmentVariable("XDG_DATA_HOME")) + "/history.db";
    }
    // Waits (generously: the machine may be loaded) for a row with this value; its kind, or empty.
    QString kindOfRowSoon(const QString& value) {
        QString kind;
        QString query = "SELECT kind FROM clips WHERE value = '" + value + "'";
        (void)QTest::qWaitFor(
            [&] {
                kind =
                    QFile::exists(database()) ? RawDatabase::scalar(database(), query) : QString();
                return !kind.isEmpty();
            },
            10000);
        return kind;
    }

    QList<QProcess*> processes;
};

}  // namespace

TEST_F(ProgramTest, RecordsWhatIsCopiedAndStaysASingleInstance) {
    QProcess* program = launch();
    ASSERT_TRUE(answersList(ORV_PROGRAM, QProcessEnvironment::systemEnvironment()));

    xclipCopy("texto copiado en otra aplicación", "UTF8_STRING");
    EXPECT_EQ(kindOfRowSoon("texto copiado en otra aplicación"), "text");

    QProcess owner;
    owner.start(ORV_CLIPBOARD_OWNER, {"text/plain=con formato", "text/html=<b>con formato</b>"});
    ASSERT_TRUE(owner.waitForReadyRead(5000));
    EXPECT_EQ(kindOfRowSoon("con formato"), "text");
    EXPECT_EQ(RawDatabase::scalar(database(), "SELECT html FROM clips WHERE value = 'con formato'"),
              "<b>con formato</b>");

    const QByteArray png = TestImages::png(30, 20, Qt::yellow);
    xclipCopy(png, "image/png");
    QString imageKind;
    (void)QTest::qWaitFor(
        [&] {
            imageKind =
                RawDatabase::scalar(database(), "SELECT kind FROM clips WHERE kind = 'image'");
            return !imageKind.isEmpty();
        },
        10000);
    EXPECT_EQ(imageKind, "image");
    const QString imagePath =
        RawDatabase::scalar(database(), "SELECT image FROM clips WHERE kind = 'image'");
    QFile image(imagePath);
    ASSERT_TRUE(image.open(QIODevice::ReadOnly)) << imagePath.toStdString();
    EXPECT_EQ(image.readAll(), png);

    QTemporaryDir files;
    const QString a = files.filePath("informe.pdf");
    const QString b = files.filePath("foto de grupo.jpg");
    QFile(a).open(QIODevice::WriteOnly);
    QFile(b).open(QIODevice::WriteOnly);
    xclipCopy(QUrl::fromLocalFile(a).toEncoded() + "\r\n" + QUrl::fromLocalFile(b).toEncoded(),
              "text/uri-list");
    EXPECT_EQ(kindOfRowSoon(a + "\n" + b), "files");

    // A second launch hands over to the first and leaves.
    QProcess* second = launch();
    ASSERT_TRUE(finishes(second));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    QProcess* toggle = launch({"--toggle"});
    ASSERT_TRUE(finishes(toggle));
    EXPECT_EQ(toggle->exitCode(), 0);
    EXPECT_EQ(program->state(), QProcess::Running);
    owner.kill();
    owner.waitForFinished();
}

TEST_F(ProgramTest, TheHotKeyOpensThePaletteAndAChosenClipGoesBackOnTheClipboard) {
    launch();
    ASSERT_TRUE(answersList(ORV_PROGRAM, QProcessEnvironment::systemEnvironment()));
    xclipCopy("primero", "UTF8_STRING");
    ASSERT_EQ(kindOfRowSoon("primero"), "text");
    xclipCopy("segundo", "UTF8_STRING");
    ASSERT_EQ(kindOfRowSoon("segundo"), "text");
    const QString rows = RawDatabase::scalar(database(), "SELECT count(*) FROM clips");

    runTool("xdotool", {"key", "ctrl+alt+v"});
    const QByteArrayList palette =
        findWindows({"--sync", "--onlyvisible", "--name", "^Orvantide$"});
    ASSERT_FALSE(palette.isEmpty()) << "the palette is on screen";
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return runTool("xdotool", {"getactivewindow"}).trimmed() == palette.first(); },
        10000))
        << "with the keyboard";

    // Down to the older clip, Return to choose it.
    runTool("xdotool", {"key", "Down"});
    runTool("xdotool", {"key", "Return"});
    QByteArray clipboard;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            clipboard = runTool("xclip", {"-selection", "clipboard", "-o"});
            return clipboard == "primero";
        },
        10000))
        << clipboard.toStdString();
    EXPECT_TRUE(findWindows({"--onlyvisible", "--name", "^Orvantide$"}).isEmpty())
        << "the palette closed";
    QTest::qWait(1000);
    EXPECT_EQ(RawDatabase::scalar(database(), "SELECT count(*) FROM clips"), rows)
        << "our own write is not recorded again";
}

TEST_F(ProgramTest, AHistoryThatIsNoDatabaseEndsTheProgramAfterTheAlert) {
    QTemporaryDir dataHome;
    QDir().mkpath(supportFolder(dataHome.path()));
    const QString path = supportFolder(dataHome.path()) + "/history.db";
    const QByteArray garbage = QByteArray("esto no es una base de datos ").repeated(100);
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(garbage);
    }
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", dataHome.path());
    environment.insert("XDG_RUNTIME_DIR", dataHome.path());  // its own instance
    QProcess* program = launch({}, environment);

    // The alert waits for the user.
    const QByteArrayList windows =
        findWindows({"--sync", "--onlyvisible", "--name", "^Orvantide$"});
    ASSERT_FALSE(windows.isEmpty());
    const QByteArray window = windows.first();
    QTest::qWait(300);
    EXPECT_EQ(program->state(), QProcess::Running) << "the alert stays until dismissed";
    runTool("xdotool", {"windowactivate", "--sync", QString::fromLatin1(window)});
    runTool("xdotool", {"key", "Return"});

    ASSERT_TRUE(finishes(program));
    EXPECT_NE(program->exitCode(), 0);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), garbage);
}

TEST_F(ProgramTest, CommandLineAndEnvironmentWithoutStartingAnything) {
    QTemporaryDir dataHome;
    QProcessEnvironment hosted = QProcessEnvironment::systemEnvironment();
    hosted.insert("XDG_DATA_HOME", dataHome.path());
    hosted.insert("XCTestConfigurationFilePath", "/dev/null");
    QProcess* quiet = launch({}, hosted);
    ASSERT_TRUE(finishes(quiet));
    EXPECT_EQ(quiet->exitCode(), 0);
    EXPECT_FALSE(QFile::exists(supportFolder(dataHome.path()))) << "a hosted run creates nothing";

    QProcessEnvironment headless = QProcessEnvironment::systemEnvironment();
    headless.remove("DISPLAY");
    headless.remove("QT_QPA_PLATFORM");
    QProcess* noDisplay = launch({}, headless);
    ASSERT_TRUE(finishes(noDisplay));
    EXPECT_NE(noDisplay->exitCode(), 0);
    const QString said = QString::fromUtf8(noDisplay->readAllStandardError());
    EXPECT_EQ(said.count(u'\n'), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("sesión de escritorio")) << said.toStdString();

    QProcess* version = launch({"--version"});
    ASSERT_TRUE(finishes(version));
    EXPECT_TRUE(version->readAllStandardOutput().startsWith("Orvantide "));
    QProcess* unknown = launch({"--nada"});
    ASSERT_TRUE(finishes(unknown));
    EXPECT_EQ(unknown->exitCode(), 2);
}

// Copies 0.1 s apart are each recorded, not only those a tick happens to see; and the last one is
// still on the clipboard after the application it was copied from quits.
TEST_F(ProgramTest, QuickCopiesAreAllRecordedAndTheLastOutlivesItsOwner) {
    launch();
    ASSERT_TRUE(answersList(ORV_PROGRAM, QProcessEnvironment::systemEnvironment()));

    xclipCopy("copia rápida uno", "UTF8_STRING");
    QTest::qWait(100);
    xclipCopy("copia rápida dos", "UTF8_STRING");
    QTest::qWait(100);
    // The last in the foreground, so that it can be made to quit.
    QProcess owner;
    owner.start("xclip", {"-quiet", "-selection", "clipboard", "-t", "UTF8_STRING", "-i"});
    ASSERT_TRUE(owner.waitForStarted(5000));
    owner.write("copia rápida tres");
    owner.closeWriteChannel();
    for (const QString text : {"copia rápida uno", "copia rápida dos", "copia rápida tres"}) {
        EXPECT_EQ(kindOfRowSoon(text), "text") << text.toStdString();
    }

    const QString rows = RawDatabase::scalar(database(), "SELECT count(*) FROM clips");

    owner.kill();
    owner.waitForFinished();
    QByteArray clipboard;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            clipboard = runTool("xclip", {"-selection", "clipboard", "-o"}, {}, true);
            return clipboard == "copia rápida tres";
        },
        10000))
        << clipboard.toStdString();
    QTest::qWait(1000);
    EXPECT_EQ(RawDatabase::scalar(database(), "SELECT count(*) FROM clips"), rows)
        << "putting it back records nothing";
}
