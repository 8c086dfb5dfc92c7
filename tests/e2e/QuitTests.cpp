// A logout ends the program with SIGTERM: it must quit as cleanly as from its menu, and a clip the
// user deleted must be gone from every file of the history, its log included.
#include "support/ExternalTool.h"
#include "support/ProgramReady.h"
#include "support/RawDatabase.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace orv;

TEST(Quit, AfterADeleteSigtermQuitsCleanlyAndLeavesNothingOfTheClip) {
    QTemporaryDir home;
    const QString data = home.filePath("data/com.quarnelbrisk.orvantide");
    const QString database = data + "/history.db";
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_DATA_HOME", home.filePath("data"));
    environment.insert("XDG_CONFIG_HOME", home.filePath("config"));
    environment.insert("XDG_RUNTIME_DIR", home.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(ORV_PROGRAM);
    ASSERT_TRUE(program.waitForStarted(5000));
    ASSERT_TRUE(answersList(ORV_PROGRAM, environment));

    const auto count = [&](const QByteArray& value) {
        return RawDatabase::scalar(database, "SELECT count(*) FROM clips WHERE value = '" +
                                                 QString::fromUtf8(value) + "'");
    };
    const QByteArray kept = "se-queda-en-el-historial-5e0c";
    const QByteArray secret = "frase-secreta-para-borrar-93ad";
    for (const QByteArray& text : {kept, secret}) {
        runTool("xclip", {"-selection", "clipboard", "-t", "UTF8_STRING", "-i"}, text);
        ASSERT_TRUE(QTest::qWaitFor([&] { return count(text) == "1"; }, 10000)) << text.data();
    }
    ASSERT_FALSE(RawDatabase::filesHolding(data, secret).empty())
        << "the check sees what was stored";

    // The newest clip is selected when the palette opens; Ctrl+Backspace deletes it.
    runTool("xdotool", {"key", "ctrl+alt+v"});
    ASSERT_FALSE(findWindows({"--sync", "--onlyvisible", "--name", "^Orvantide$"}).isEmpty());
    const QByteArray palette = findWindows({"--onlyvisible", "--name", "^Orvantide$"}).first();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return runTool("xdotool", {"getactivewindow"}).trimmed() == palette; }, 10000));
    runTool("xdotool", {"key", "ctrl+BackSpace"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return count(secret) == "0"; }, 10000));
    EXPECT_EQ(count(kept), "1");

    program.terminate();
    ASSERT_TRUE(program.waitForFinished(20000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_EQ(RawDatabase::filesHolding(data, secret), "");
    EXPECT_FALSE(QFile::exists(database + "-wal")) << "the log was folded in";
    EXPECT_EQ(RawDatabase::filesHolding(data, kept), database.toStdString())
        << "what was kept stays";
}
