#include "commands/CommandLine.h"

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

bool isHelp(const QString& argument) {
    return argument == QLatin1String("--help") || argument == QLatin1String("-h");
}

// Options before any subcommand: the program itself.
Parsed parseLaunch(const QStringList& arguments) {
    Parsed parsed;
    for (const QString& argument : arguments) {
        if (isHelp(argument)) {
            return ofAction(Parsed::Action::help);
        }
        if (argument == QLatin1String("--version") || argument == QLatin1String("-v")) {
            return ofAction(Parsed::Action::version);
        }
        if (argument == QLatin1String("--toggle")) {
            parsed.toggle = true;
        } else if (argument == QLatin1String("--service")) {
            parsed.service = true;
        } else if (argument == QLatin1String("--for-commands")) {
            parsed.service = true;
            parsed.forCommands = true;
        } else if (argument.startsWith(u'-')) {
            return usage(QStringLiteral("opción desconocida «%1» (prueba --help)").arg(argument));
        } else {
            return usage(
                QStringLiteral("«%1» debe ir primero, sin opciones delante (prueba --help)")
                    .arg(argument));
        }
    }
    return parsed;
}

// "--name value" or "--name=value": the value, advancing past it; nothing when it is missing.
std::optional<QString> optionValue(const QStringList& arguments, qsizetype& index,
                                   const QString& name) {
    const QString& argument = arguments[index];
    if (argument.size() > name.size() && argument[name.size()] == u'=') {
        return argument.mid(name.size() + 1);
    }
    if (index + 1 >= arguments.size()) {
        return std::nullopt;
    }
    return arguments[++index];
}

bool isOption(const QString& argument, const QString& name) {
    return argument == name || argument.startsWith(name + u'=');
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
    Parsed parsed = ofAction(Parsed::Action::command);
    Request& request = parsed.request;
    request.verb = found->verb;
    bool hasId = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        if (isHelp(argument)) {
            return ofAction(Parsed::Action::help);
        }
        const auto missing = [&](const QString& option) {
            return usage(QStringLiteral("%1 necesita un valor").arg(option));
        };
        if (request.verb == Verb::list && isOption(argument, QStringLiteral("--limit"))) {
            const auto value = optionValue(arguments, i, QStringLiteral("--limit"));
            if (!value) {
                return missing(QStringLiteral("--limit"));
            }
            bool ok = false;
            const int limit = value->toInt(&ok);
            if (!ok || limit <= 0 || value->startsWith(u'+')) {
                return usage(QStringLiteral("--limit necesita un número entero positivo, no «%1»")
                                 .arg(*value));
            }
            request.limit = limit;
        } else if (request.verb == Verb::list && isOption(argument, QStringLiteral("--kind"))) {
            const auto value = optionValue(arguments, i, QStringLiteral("--kind"));
            if (!value) {
                return missing(QStringLiteral("--kind"));
            }
            const auto kind = std::find_if(kKinds.begin(), kKinds.end(),
                                           [&](ClipKind kind) { return *value == kindName(kind); });
            if (kind == kKinds.end()) {
                return usage(
                    QStringLiteral("--kind admite texto, imagen, color o archivos, no «%1»")
                        .arg(*value));
            }
            request.kind = *kind;
        } else if (request.verb == Verb::list && isOption(argument, QStringLiteral("--search"))) {
            const auto value = optionValue(arguments, i, QStringLiteral("--search"));
            if (!value) {
                return missing(QStringLiteral("--search"));
            }
            request.search = *value;
        } else if (request.verb == Verb::list && argument == QLatin1String("--json")) {
            request.json = true;
        } else if (takesId(request.verb) && !hasId) {
            bool ok = false;
            request.id = argument.toLongLong(&ok);
            if (!ok || request.id <= 0 || !argument.front().isDigit()) {
                return usage(
                    QStringLiteral("«%1» no es un id: hace falta un número entero positivo")
                        .arg(argument));
            }
            hasId = true;
        } else if (argument.startsWith(QLatin1String("--"))) {
            return usage(QStringLiteral("opción desconocida «%1» para «%2» (prueba --help)")
                             .arg(argument, word));
        } else {
            return usage(QStringLiteral("sobra «%1» (prueba --help)").arg(argument));
        }
    }
    if (takesId(request.verb) && !hasId) {
        return usage(QStringLiteral("falta el id del clip: orvantide %1 ID").arg(word));
    }
    return parsed;
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
