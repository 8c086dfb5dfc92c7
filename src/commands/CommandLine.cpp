#include "commands/CommandLine.h"

#include <QCommandLineParser>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <utility>

namespace orv {

namespace CommandLine {

namespace {

struct VerbName {
    const char* name;
    Verb verb;
};

constexpr std::array kVerbs{
    VerbName{"list", Verb::list},     VerbName{"get", Verb::get},
    VerbName{"copy", Verb::copy},     VerbName{"add", Verb::add},
    VerbName{"delete", Verb::remove}, VerbName{"pin", Verb::pin},
    VerbName{"unpin", Verb::unpin},   VerbName{"clear", Verb::clear},
    VerbName{"pause", Verb::pause},   VerbName{"resume", Verb::resume},
    VerbName{"toggle", Verb::toggle},
};

constexpr std::array kKinds{ClipKind::text, ClipKind::image, ClipKind::color, ClipKind::files};

Parsed usage(const QString& error) {
    Parsed parsed;
    parsed.action = Parsed::Action::usage;
    parsed.error = error;
    return parsed;
}

Parsed ofAction(Parsed::Action action) {
    Parsed parsed;
    parsed.action = action;
    return parsed;
}

bool takesId(Verb verb) {
    return verb == Verb::get || verb == Verb::copy || verb == Verb::remove || verb == Verb::pin ||
           verb == Verb::unpin;
}

const QCommandLineOption kHelp(QStringList{QStringLiteral("h"), QStringLiteral("help")});

// What the parser stumbled on, as typed: an unknown option or a switch given a value, or
// (`missing`) an option at the end without its value.
struct Fault {
    QString argument;
    bool missing = false;
};

// Reads `arguments` with `options` and help; the fault when they do not fit.
std::optional<Fault> read(QCommandLineParser& parser, const QStringList& arguments,
                          const QList<QCommandLineOption>& options) {
    parser.addOptions(options);
    parser.addOption(kHelp);
    if (parser.parse(QStringList{QString()} + arguments)) {
        return std::nullopt;
    }
    const auto takesValue = [&](const QString& name) {
        return std::any_of(options.begin(), options.end(), [&](const QCommandLineOption& o) {
            return o.names().contains(name) && !o.valueName().isEmpty();
        });
    };
    const QStringList typed = arguments.mid(0, arguments.indexOf(QStringLiteral("--")));
    const QStringList unknown = parser.unknownOptionNames();
    for (const QString& argument : typed) {
        const QString name = argument.mid(2).section(u'=', 0, 0);
        if (argument.startsWith(QLatin1String("--"))
                ? unknown.contains(name) || (argument.contains(u'=') && !takesValue(name))
                : argument.startsWith(u'-') &&
                      std::any_of(unknown.begin(), unknown.end(), [&](const QString& letter) {
                          return argument.contains(letter);
                      })) {
            return Fault{argument};
        }
    }
    const QString last = typed.value(typed.size() - 1);
    return Fault{last, last.startsWith(QLatin1String("--")) && takesValue(last.mid(2))};
}

// Options before any subcommand: the program itself.
Parsed parseLaunch(const QStringList& arguments) {
    QCommandLineParser parser;
    const QCommandLineOption version(QStringList{QStringLiteral("v"), QStringLiteral("version")});
    const QCommandLineOption toggle(QStringLiteral("toggle"));
    const QCommandLineOption service(QStringLiteral("service"));
    const QCommandLineOption forCommands(QStringLiteral("for-commands"));
    const auto fault = read(parser, arguments, {version, toggle, service, forCommands});
    if (parser.isSet(kHelp)) {
        return ofAction(Parsed::Action::help);
    }
    if (fault) {
        return usage(
            QStringLiteral("opción desconocida «%1» (prueba --help)").arg(fault->argument));
    }
    if (parser.isSet(version)) {
        return ofAction(Parsed::Action::version);
    }
    if (const QStringList rest = parser.positionalArguments(); !rest.isEmpty()) {
        return usage(QStringLiteral("«%1» debe ir primero, sin opciones delante (prueba --help)")
                         .arg(rest.first()));
    }
    Parsed parsed;
    parsed.toggle = parser.isSet(toggle);
    parsed.forCommands = parser.isSet(forCommands);
    parsed.service = parser.isSet(service) || parsed.forCommands;
    return parsed;
}

// `list`'s options, once read.
std::optional<QString> readListOptions(const QCommandLineParser& parser, Request& request) {
    if (parser.isSet(QStringLiteral("limit"))) {
        const QString value = parser.value(QStringLiteral("limit"));
        bool ok = false;
        request.limit = value.toInt(&ok);
        if (!ok || *request.limit <= 0 || value.startsWith(u'+')) {
            return QStringLiteral("--limit necesita un número entero positivo, no «%1»").arg(value);
        }
    }
    if (parser.isSet(QStringLiteral("kind"))) {
        const QString value = parser.value(QStringLiteral("kind"));
        const auto kind = std::find_if(kKinds.begin(), kKinds.end(),
                                       [&](ClipKind kind) { return value == kindName(kind); });
        if (kind == kKinds.end()) {
            return QStringLiteral("--kind admite texto, imagen, color o archivos, no «%1»")
                .arg(value);
        }
        request.kind = *kind;
    }
    request.search = parser.value(QStringLiteral("search"));
    request.json = parser.isSet(QStringLiteral("json"));
    return std::nullopt;
}

// A subcommand's arguments, after its name.
Parsed parseCommand(Verb verb, const QString& word, const QStringList& arguments) {
    QList<QCommandLineOption> options;
    if (verb == Verb::list) {
        options = {QCommandLineOption(QStringLiteral("limit"), {}, QStringLiteral("N")),
                   QCommandLineOption(QStringLiteral("kind"), {}, QStringLiteral("TIPO")),
                   QCommandLineOption(QStringLiteral("search"), {}, QStringLiteral("TEXTO")),
                   QCommandLineOption(QStringLiteral("json"))};
    }
    QCommandLineParser parser;
    const auto fault = read(parser, arguments, options);
    if (parser.isSet(kHelp)) {
        return ofAction(Parsed::Action::help);
    }
    const auto notAnId = [](const QString& argument) {
        return usage(
            QStringLiteral("«%1» no es un id: hace falta un número entero positivo").arg(argument));
    };
    if (fault && fault->missing) {
        return usage(QStringLiteral("%1 necesita un valor").arg(fault->argument));
    }
    if (fault) {
        bool number = false;
        fault->argument.toLongLong(&number);
        return takesId(verb) && number
                   ? notAnId(fault->argument)
                   : usage(QStringLiteral("opción desconocida «%1» para «%2» (prueba --help)")
                               .arg(fault->argument, word));
    }
    Parsed parsed = ofAction(Parsed::Action::command);
    parsed.request.verb = verb;
    QStringList rest = parser.positionalArguments();
    if (takesId(verb)) {
        if (rest.isEmpty()) {
            return usage(QStringLiteral("falta el id del clip: orvantide %1 ID").arg(word));
        }
        const QString id = rest.takeFirst();
        bool ok = false;
        parsed.request.id = id.toLongLong(&ok);
        if (!ok || parsed.request.id <= 0 || !id.front().isDigit()) {
            return notAnId(id);
        }
    }
    if (!rest.isEmpty()) {
        return usage(QStringLiteral("sobra «%1» (prueba --help)").arg(rest.first()));
    }
    if (const auto wrong =
            verb == Verb::list ? readListOptions(parser, parsed.request) : std::nullopt) {
        return usage(*wrong);
    }
    return parsed;
}

}  // namespace

QString verbName(Verb verb) {
    for (const VerbName& name : kVerbs) {
        if (name.verb == verb) {
            return QLatin1String(name.name);
        }
    }
    return {};
}

QString kindName(ClipKind kind) {
    switch (kind) {
        case ClipKind::text:
            return QStringLiteral("texto");
        case ClipKind::image:
            return QStringLiteral("imagen");
        case ClipKind::color:
            return QStringLiteral("color");
        case ClipKind::files:
            return QStringLiteral("archivos");
    }
    return QStringLiteral("texto");
}

Parsed parse(const QStringList& arguments) {
    if (arguments.isEmpty() || arguments.first().startsWith(u'-')) {
        return parseLaunch(arguments);
    }
    const QString& word = arguments.first();
    const auto found = std::find_if(kVerbs.begin(), kVerbs.end(), [&](const VerbName& verb) {
        return word == QLatin1String(verb.name);
    });
    if (found == kVerbs.end()) {
        return usage(QStringLiteral("orden desconocida «%1» (prueba --help)").arg(word));
    }
    return parseCommand(found->verb, word, arguments.mid(1));
}

QString inputSizeError(qsizetype bytes) {
    return bytes > maximumInputBytes
               ? QStringLiteral("la entrada pasa de 16 MiB; no se ha añadido nada")
               : QString();
}

InputText inputText(const QByteArray& input) {
    if (const QString tooLarge = inputSizeError(input.size()); !tooLarge.isEmpty()) {
        return {{}, tooLarge};
    }
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(input);
    if (input.contains('\0') || decoder.hasError()) {
        return {{},
                QStringLiteral("la entrada no es texto UTF-8 (¿datos binarios?); no se ha "
                               "añadido nada")};
    }
    if (text.trimmed().isEmpty()) {
        return {{}, QStringLiteral("la entrada está vacía; no se ha añadido nada")};
    }
    return {std::move(text), {}};
}

}  // namespace CommandLine

}  // namespace orv
