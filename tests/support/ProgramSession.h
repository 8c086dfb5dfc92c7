#pragma once

// The fixture of the whole-program tests: the program and the other applications of a test, each
// started as a user starts it (the test's own offscreen platform is not passed on) with a history
// and settings of the test's own, all killed when the test ends. The including test program
// defines ORV_PROGRAM, the program's path.
#include "support/ExternalTool.h"
#include "support/ProgramReady.h"
#include "support/RawDatabase.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace orv {

class ProgramSession : public ::testing::Test {
protected:
    // Generous: the machine may be loaded.
    static constexpr int limit = 30000;

    ~ProgramSession() override {
        for (QProcess* process : processes) {
            process->kill();
            process->waitForFinished();
            delete process;
        }
    }

    // Its standard error goes to the test's, unless `merged`; what it prints is kept in
    // `outputs` as it comes, so that no pipe fills.
    QProcess* start(const QString& program, const QStringList& arguments = {},
                    const QString& platform = {}, bool merged = false) {
        QProcessEnvironment environment = this->environment();
        if (!platform.isEmpty()) {
            environment.insert("QT_QPA_PLATFORM", platform);
        }
        auto* process = new QProcess;
        processes.append(process);
        process->setProcessChannelMode(merged ? QProcess::MergedChannels
                                              : QProcess::ForwardedErrorChannel);
        process->setProcessEnvironment(environment);
        QObject::connect(process, &QProcess::readyReadStandardOutput, process,
                         [this, process] { outputs[process] += process->readAllStandardOutput(); });
        process->start(program, arguments);
        EXPECT_TRUE(process->waitForStarted(5000));
        return process;
    }
    QProcessEnvironment environment() const {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("QT_QPA_PLATFORM");
        environment.insert("QT_LOGGING_RULES", "orv.*=true");
        environment.insert("XDG_DATA_HOME", data.path());
        environment.insert("XDG_CONFIG_HOME", data.filePath("config"));
        return environment;
    }
    // The program, its log in `outputs`, once it answers; `defaults` first becomes
    // its settings file.
    QProcess* startProgram(const QByteArray& defaults = {}) {
        if (!defaults.isEmpty()) {
            const QString folder = data.filePath("config/com.quarnelbrisk.orvantide");
            QDir().mkpath(folder);
            QFile file(folder + "/defaults.json");
            EXPECT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(defaults);
        }
        program = start(ORV_PROGRAM, {}, {}, true);
        EXPECT_TRUE(answersList(ORV_PROGRAM, environment()));
        return program;
    }
    QString database() const { return data.filePath("com.quarnelbrisk.orvantide/history.db"); }
    // Waits for the query to give something, and gives it.
    QString scalarSoon(const QString& query) const {
        QString result;
        (void)QTest::qWaitFor(
            [&] {
                result = RawDatabase::scalar(database(), query);
                return !result.isEmpty();
            },
            limit);
        return result;
    }
    // The kind of the row with exactly this value, once there is one.
    QString kindSoon(const QString& value) const {
        return scalarSoon("SELECT kind FROM clips WHERE value = '" + value + "'");
    }
    // Waits for a row with exactly this value.
    bool recorded(const QString& value) {
        return QTest::qWaitFor(
            [&] {
                return !RawDatabase::scalar(database(),
                                            "SELECT id FROM clips WHERE value = '" + value + "'")
                            .isEmpty();
            },
            limit);
    }
    // Waits for the line in what the process printed.
    bool said(QProcess* process, const QByteArray& line) {
        return QTest::qWaitFor([&] { return outputs[process].contains(line); }, limit);
    }
    // A second launch hands the request to the running program and ends.
    void command(const QStringList& arguments) {
        QProcess client;
        client.setProcessEnvironment(environment());
        client.start(ORV_PROGRAM, arguments);
        ASSERT_TRUE(client.waitForFinished(limit));
        EXPECT_EQ(client.exitCode(), 0) << client.readAllStandardError().toStdString();
    }
    static QByteArray activeWindow() {
        return runTool("xdotool", {"getactivewindow"}, {}, true).trimmed();
    }
    static QByteArray visibleWindow(const QString& name) {
        QByteArrayList found;
        (void)QTest::qWaitFor(
            [&] {
                found = findWindows({"--onlyvisible", "--name", name});
                return !found.isEmpty();
            },
            limit);
        return found.value(0);
    }
    // Opens the palette with --toggle and, once it has the keyboard, chooses its first row.
    void chooseNewest() {
        command({"--toggle"});
        const QByteArray palette = visibleWindow("^Orvantide$");
        ASSERT_FALSE(palette.isEmpty()) << "the palette is on screen";
        ASSERT_TRUE(QTest::qWaitFor([&] { return activeWindow() == palette; }, limit))
            << "the palette has the keyboard";
        runTool("xdotool", {"key", "Return"});
    }

    QTemporaryDir data;
    QProcess* program = nullptr;
    QList<QProcess*> processes;
    QHash<QProcess*, QByteArray> outputs;
};

}  // namespace orv
