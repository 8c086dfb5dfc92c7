#include "support/ExternalTool.h"

#include <QProcess>
#include <QTest>

#include <gtest/gtest.h>

namespace orv {

QByteArray runTool(const QString& program, const QStringList& arguments, const QByteArray& input,
                   bool anyExit) {
    QProcess process;
    process.start(program, arguments);
    EXPECT_TRUE(process.waitForStarted(5000)) << program.toStdString();
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(QTest::qWaitFor([&] { return process.state() == QProcess::NotRunning; }, 10000))
        << program.toStdString() << " did not finish";
    if (!anyExit) {
        EXPECT_EQ(process.exitCode(), 0)
            << program.toStdString() << ": " << process.readAllStandardError().toStdString();
    }
    return process.readAllStandardOutput();
}

QByteArrayList findWindows(const QStringList& criteria) {
    const QByteArray found = runTool("xdotool", QStringList{"search"} + criteria, {}, true);
    QByteArrayList windows = found.trimmed().split('\n');
    windows.removeAll(QByteArray());
    return windows;
}

}  // namespace orv
