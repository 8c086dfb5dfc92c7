#include "commands/CommandLine.h"

#include "clipboard/ClipboardReader.h"
#include "clipboard/FileUrlList.h"
#include "platform/MimeTypes.h"
#include "platform/SelectionReadLimits.h"
#include "store/Graphemes.h"
#include "store/HistoryStore.h"
#include "store/ImageThumbnail.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QImageReader>
#include <QStringDecoder>
#include <QTextDocumentFragment>

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
    VerbName{"toggle", Verb::toggle}, VerbName{"status", Verb::status},
    VerbName{"quit", Verb::quit},
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

// A subcommand's options, once read.
std::optional<QString> readOptions(Verb verb, const QCommandLineParser& parser, Request& request) {
    if (verb == Verb::add && parser.isSet(QStringLiteral("type"))) {
        // MIME types ignore case, and spaces around parameters.
        request.type = parser.value(QStringLiteral("type")).toLower().remove(u' ');
        if (!readableType(request.type)) {
            return QStringLiteral(
                       "--type admite text/plain, text/html, text/uri-list o un tipo de imagen "
                       "(image/png, image/jpeg…), no «%1»")
                .arg(parser.value(QStringLiteral("type")));
        }
    }
    if (verb == Verb::status) {
        request.json = parser.isSet(QStringLiteral("json"));
    }
    if (verb != Verb::list) {
        return std::nullopt;
    }
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
    request.null = parser.isSet(QStringLiteral("null"));
    if (request.json && request.null) {
        return QStringLiteral("--json y --null no van juntos");
    }
    return std::nullopt;
}

// A subcommand's arguments, after its name.
Parsed parseCommand(Verb verb, const QString& word, const QStringList& arguments) {
    QList<QCommandLineOption> options;
    if (verb == Verb::list) {
        options = {QCommandLineOption(QStringLiteral("limit"), {}, QStringLiteral("N")),
                   QCommandLineOption(QStringLiteral("kind"), {}, QStringLiteral("TIPO")),
                   QCommandLineOption(QStringLiteral("search"), {}, QStringLiteral("TEXTO")),
                   QCommandLineOption(QStringLiteral("json")),
                   QCommandLineOption(QStringList{QStringLiteral("0"), QStringLiteral("null")})};
    } else if (verb == Verb::status) {
        options = {QCommandLineOption(QStringLiteral("json"))};
    } else if (verb == Verb::add) {
        options = {QCommandLineOption(QStringLiteral("type"), {}, QStringLiteral("MIME"))};
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
    if (const auto wrong = readOptions(verb, parser, parsed.request)) {
        return usage(*wrong);
    }
    return parsed;
}

const QString kNotText =
    QStringLiteral("la entrada no es texto UTF-8 (¿datos binarios?); no se ha añadido nada");
const QString kEmpty = QStringLiteral("la entrada está vacía; no se ha añadido nada");

bool isImageType(const QString& type) {
    return type.startsWith(QLatin1String("image/"));
}

// File managers end their lists with a NUL.
QByteArrayView withoutFinalNul(const QByteArray& input, const QString& type) {
    const QByteArrayView bytes(input);
    return type == MimeTypes::uriList && bytes.endsWith('\0') ? bytes.chopped(1) : bytes;
}

// The text of input as its type declares it; nothing when it is no text (a NUL, bytes its encoding
// does not have).
std::optional<QString> textOf(QByteArrayView input, const QString& type) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    // HTML as browsers copy it: UTF-16 after a byte-order mark, or what a meta tag names.
    if (type == MimeTypes::html) {
        if (QStringDecoder declared = QStringDecoder::decoderForHtml(input); declared.isValid()) {
            decoder = std::move(declared);
        }
    }
    QString text = decoder.decode(input);
    if (decoder.hasError() || text.contains(QChar(0))) {
        return std::nullopt;
    }
    return text;
}

InputClip refused(const QString& why) {
    return {{}, why + QStringLiteral("; no se ha añadido nada")};
}

// Exactly that format: bytes of another are refused. PNG stays as it came.
InputClip imageClip(const QByteArray& input, const QString& type) {
    QBuffer buffer;
    buffer.setData(input);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, QImageReader::imageFormatsForMimeType(type.toLatin1()).value(0));
    reader.setAutoDetectImageFormat(false);
    reader.setAutoTransform(true);
    const QSize size = reader.size();
    if (qint64(size.width()) * size.height() * 4 > ImageThumbnail::kMaximumDecodedBytes) {
        return refused(QStringLiteral("la imagen es demasiado grande (%1×%2)")
                           .arg(size.width())
                           .arg(size.height()));
    }
    const QImage image = reader.read();
    if (image.isNull()) {
        return refused(QStringLiteral("la entrada no es una imagen %1 legible").arg(type));
    }
    const std::optional<QByteArray> png =
        type == MimeTypes::png ? std::optional(input) : ImageThumbnail::pngData(image);
    if (!png || png->size() > maximumImageBytes) {
        return refused(QStringLiteral("la imagen pasa de 20 MiB como PNG"));
    }
    return {CapturedClip::Image{*png}, {}};
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

bool readableType(const QString& type) {
    return type == MimeTypes::plainText || type == MimeTypes::plainUtf8Text ||
           type == MimeTypes::html || type == MimeTypes::uriList ||
           (isImageType(type) && QImageReader::supportedMimeTypes().contains(type.toLatin1()));
}

QString inputError(const QByteArray& input, const QString& type) {
    if (const QString tooLarge = inputSizeError(input.size()); !tooLarge.isEmpty()) {
        return tooLarge;
    }
    if (input.isEmpty()) {
        return kEmpty;
    }
    if (isImageType(type)) {
        return {};
    }
    const auto text = textOf(withoutFinalNul(input, type), type);
    if (!text) {
        return kNotText;
    }
    return text->trimmed().isEmpty() ? kEmpty : QString();
}

InputClip inputClip(const QByteArray& input, const QString& type) {
    if (const QString error = inputError(input, type); !error.isEmpty()) {
        return {{}, error};
    }
    if (isImageType(type)) {
        return imageClip(input, type);
    }
    if (type == MimeTypes::uriList) {
        const QStringList paths = FileUrlList::pathsFromUriList(input);
        if (paths.isEmpty()) {
            return refused(QStringLiteral("la lista no nombra ningún archivo local (file://)"));
        }
        return {CapturedClip::Files{paths}, {}};
    }
    // Kept as a copy keeps them: the text at most as long, the HTML beside it. Without a type,
    // trimmed as a copy is.
    const QString text = type.isEmpty() ? textOf(input, type)->trimmed() : *textOf(input, type);
    if (type != MimeTypes::html) {
        return {CapturedClip::Text{Graphemes::prefix(text, maximumTextCharacters), std::nullopt},
                {}};
    }
    const QString plain = QTextDocumentFragment::fromHtml(text)
                              .toPlainText()
                              .remove(QChar::ObjectReplacementCharacter)
                              .trimmed();
    if (plain.isEmpty()) {
        return refused(QStringLiteral("el HTML no tiene texto"));
    }
    return {CapturedClip::Text{Graphemes::prefix(plain, maximumTextCharacters),
                               Graphemes::prefix(text, maximumHtmlCharacters)},
            {}};
}

}  // namespace CommandLine

}  // namespace orv
