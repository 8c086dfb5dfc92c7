#pragma once

#include "commands/SingleInstance.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>

namespace orv {

// The side of `orvantide <orden>` that talks to the running instance over its socket. Its calls
// block: the process has nothing else to do.
namespace CommandClient {

struct Waits {
    // For the instance to answer the connection, started or not.
    std::chrono::milliseconds start = std::chrono::seconds(30);
    // For the next bytes of the answer: a command may wait for a busy history.
    std::chrono::milliseconds silence = std::chrono::seconds(90);
};

// Whether a command may start an instance when none runs (`quit` may not).
enum class Start { whenNeeded, never };

// Sends the arguments (and `input`, for `add`) to the instance, starting one in the background
// when none runs and `start` allows; writes its output to standard output and its message to
// standard error. Gives the exit status. Once `quit` is answered, waits for the instance to end.
int run(const QStringList& arguments, const QByteArray& input,
        const QString& name = SingleInstance::standardName(), Waits waits = {},
        Start start = Start::whenNeeded);

}  // namespace CommandClient

}  // namespace orv
