#pragma once

#include "store/ClipKind.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace orv {

// What `orvantide [opción | orden …]` asks for. Pure parsing: the running instance parses the
// same arguments again when they come over its socket or D-Bus.
namespace CommandLine {

// The subcommands that act on the running instance.
enum class Verb { list, get, copy, add, remove, pin, unpin, clear, pause, resume, toggle };

struct Request {
    Verb verb = Verb::list;
    // get, copy, delete, pin, unpin.
    qint64 id = 0;
    // list: at most this many clips, of this kind, matching this text; JSON instead of lines.
    std::optional<int> limit;
    std::optional<ClipKind> kind;
    QString search;
    bool json = false;

    bool operator==(const Request&) const = default;
};

struct Parsed {
    enum class Action {
        // Start the instance (or hand over to the one running).
        launch,
        help,
        version,
        // A subcommand for the running instance.
        command,
        // Bad arguments: `error` says why; the exit status is 2.
        usage,
    };
    Action action = Action::launch;
    // launch: open or close the palette (`--toggle`); `--service`: start without handing anything
    // over to an instance already running (D-Bus activation, the subcommands' own start).
    bool toggle = false;
    bool service = false;
    // `--for-commands`: the start a subcommand makes, as `--service`, but a history that cannot
    // be opened is said to that subcommand, not in an alert that waits for a click.
    bool forCommands = false;
    Request request;
    QString error;
};

// As typed: "list", "delete", …
QString verbName(Verb verb);

// The arguments after the program's name.
Parsed parse(const QStringList& arguments);

// The Spanish name of a kind as `--kind` and the output use it: texto, imagen, color, archivos.
QString kindName(ClipKind kind);

// Standard input for `add` must be text: nothing too large, no NUL bytes, valid UTF-8, not blank.
inline constexpr qsizetype maximumInputBytes = 16 * 1024 * 1024;
struct InputText {
    QString text;
    // Why the input is refused; empty when it is accepted.
    QString error;
};
InputText inputText(const QByteArray& input);
// Why input of this size is refused; empty when it is not.
QString inputSizeError(qsizetype bytes);

}  // namespace CommandLine

}  // namespace orv
