#pragma once

// Shared pieces of the long runs: the program under test, the other applications, the history.
#include <QByteArray>
#include <QProcess>
#include <QString>

namespace orv {

namespace LongRun {

// Starts the program with the environment of this process (the wrapper's private home).
QProcess* launch(const QString& program);
// xclip takes the clipboard with one type; returns once it serves it.
void copy(const QByteArray& data, const QString& type);
QString database();
QString imageFolder();
// The first column of the first row of a query on the history, as text.
QString query(const QString& sql);
// Resident memory of a process in kilobytes.
qint64 residentKb(qint64 pid);
// A PNG of the given size whose bytes differ with `seed`.
QByteArray picture(int width, int height, int seed);

}  // namespace LongRun

}  // namespace orv
