#pragma once

#include "store/CapturedClip.h"
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
enum class Verb {
    list,
    get,
    copy,
    add,
    remove,
    pin,
    unpin,
    clear,
    pause,
    resume,
    toggle,
    status,
    quit
};

struct Request {
    Verb verb = Verb::list;
    // get, copy, delete, pin, unpin.
    qint64 id = 0;
    // list: at most this many clips, of this kind, matching this text; JSON (also status)
    // instead of lines, or records ended by NUL.
    std::optional<int> limit;
    std::optional<ClipKind> kind;
    QString search;
    bool json = false;
    bool null = false;
    // add: the MIME type standard input holds; empty for text trimmed as a copy is.
    QString type;

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

// The Spanish name of a kind as `--kind` and the lines use it: texto, imagen, color, archivos.
QString kindName(ClipKind kind);

// The version of `list --json` and `status --json`: raised only when a key changes meaning or
// goes, never for a key added.
inline constexpr int jsonSchema = 1;

// Standard input for `add`: nothing larger than this.
inline constexpr qsizetype maximumInputBytes = 16 * 1024 * 1024;
// Why input of this size is refused; empty when it is not.
QString inputSizeError(qsizetype bytes);

// `add --type`: text/plain (taken exactly, its ends untrimmed), text/html (its text derived, the
// HTML kept with it), text/uri-list (a files clip) or an image type Qt reads. Without a type,
// `add` takes text trimmed as a copy is.
bool readableType(const QString& type);
// Why standard input of that type (or none) is refused, from what is cheap to tell (size,
// emptiness, text that is no text); empty when it is not.
QString inputError(const QByteArray& input, const QString& type);
struct InputClip {
    CapturedClip::Payload payload;
    // Why the input is refused; empty when it is accepted.
    QString error;
};
// The clip that input of that type makes, decoded whole (an image as PNG). Needs the
// application object (fonts, image plugins); any thread.
InputClip inputClip(const QByteArray& input, const QString& type);

}  // namespace CommandLine

}  // namespace orv
