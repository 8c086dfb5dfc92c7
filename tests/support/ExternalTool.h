#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace orv {

// Runs another program (xclip, xdotool, …) to its end while this process keeps handling events, so
// that it can answer the clipboard requests the program makes. Fails the current test when the
// program does not start or does not finish within ten seconds, and unless `anyExit`, when it exits
// with a failure; gives its standard output.
QByteArray runTool(const QString& program, const QStringList& arguments,
                   const QByteArray& input = {}, bool anyExit = false);

// Ids of the windows xdotool finds, in its order; none is no failure.
QByteArrayList findWindows(const QStringList& criteria);

}  // namespace orv
