#include "commands/Commands.h"

#include "clipboard/ClipboardReader.h"
#include "logging/Logging.h"
#include "model/StoreOutcome.h"
#include "store/Error.h"
#include "store/Graphemes.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPointer>
#include <QtConcurrentRun>

#include <variant>

namespace orv {

using StoreOutcome::outcome;

namespace {

CommandResult done(QByteArray output = {}) {
    return {0, std::move(output), {}};
}

CommandResult failure(const QString& message) {
    return {1, {}, message};
}

CommandResult notFound(qint64 id) {
    return failure(QStringLiteral("no hay ningún clip con el id %1").arg(id));
}

const QString kClosing = QStringLiteral("Orvantide se está cerrando; no se ha hecho nada");

// Work that grows with the history or the input (decoding, formatting, reading an image) runs in a
// worker: the palette never waits for it.
template <typename Work>
auto inWorker(Work work) {
    return QtConcurrent::run(std::move(work));
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Error::file(QStringLiteral("no se pudo leer «%1»: %2").arg(path, file.errorString()));
    }
    return file.readAll();
}

QJsonObject jsonOf(const Clip& clip) {
    QJsonObject object{
        {QStringLiteral("id"), double(clip.id)},
        {QStringLiteral("kind"), CommandLine::kindName(clip.effectiveKind())},
        {QStringLiteral("title"), clip.listTitle()},
        {QStringLiteral("value"), clip.value},
        {QStringLiteral("pinned"), clip.pinned},
        {QStringLiteral("created"), clip.createdAt.toUTC().toString(Qt::ISODate)},
        {QStringLiteral("source"), clip.source ? QJsonValue(*clip.source) : QJsonValue()},
    };
    if (clip.imagePath) {
        object.insert(QStringLiteral("image"), *clip.imagePath);
    }
    // The value is its first characters only: `orvantide get` gives it whole.
    if (clip.partial) {
        object.insert(QStringLiteral("partial"), true);
    }
    return object;
}

// One line a clip: id, kind, "fijado" or "-", and the title on one line.
QByteArray lineOf(const Clip& clip) {
    return QStringLiteral("%1\t%2\t%3\t%4\n")
        .arg(clip.id)
        .arg(CommandLine::kindName(clip.effectiveKind()),
             clip.pinned ? QStringLiteral("fijado") : QStringLiteral("-"),
             clip.listTitle().simplified())
        .toUtf8();
}

}  // namespace

Commands::Commands(Services services, QObject* parent) : QObject(parent), m_services(services) {}

bool Commands::activate(const QString& action) {
    qCInfo(lcCommands).noquote() << "action" << action;
    if (action == QLatin1String("toggle")) {
        emit toggleRequested();
    } else if (action == QLatin1String("preferences")) {
        emit settingsRequested();
    } else if (action == QLatin1String("clear")) {
        emit clearRequested();
    } else if (action == QLatin1String("permissions")) {
        emit permissionsRequested();
    } else {
        return false;
    }
    return true;
}

QCoro::Task<CommandResult> Commands::run(QStringList arguments, QByteArray input) {
    const CommandLine::Parsed parsed = CommandLine::parse(arguments);
    if (parsed.action == CommandLine::Parsed::Action::usage) {
        co_return CommandResult{2, {}, parsed.error};
    }
    if (parsed.action != CommandLine::Parsed::Action::command) {
        co_return CommandResult{
            2, {}, QStringLiteral("aquí solo se admiten órdenes como list, get o add")};
    }
    co_return co_await run(parsed.request, std::move(input));
}

QCoro::Task<CommandResult> Commands::run(CommandLine::Request request, QByteArray input) {
    using CommandLine::Verb;
    qCInfo(lcCommands).noquote() << "command" << CommandLine::verbName(request.verb);
    switch (request.verb) {
        case Verb::list:
            co_return co_await list(std::move(request));
        case Verb::get:
            co_return co_await get(request.id);
        case Verb::copy:
            co_return co_await copy(request.id);
        case Verb::add:
            co_return co_await add(std::move(input));
        case Verb::remove:
            co_return co_await remove(request.id);
        case Verb::pin:
            co_return co_await setPinned(request.id, true);
        case Verb::unpin:
            co_return co_await setPinned(request.id, false);
        case Verb::clear:
            co_return co_await clear();
        case Verb::pause:
        case Verb::resume:
            m_services.preferences.setPaused(request.verb == Verb::pause);
            co_return done();
        case Verb::toggle:
            emit toggleRequested();
            co_return done();
    }
    co_return CommandResult{2, {}, QStringLiteral("orden desconocida")};
}

// What the palette reads: each value's beginning, and with no kind to filter by, only as many
// clips as asked for. `get` gives a value whole.
QCoro::Task<CommandResult> Commands::list(CommandLine::Request request) {
    QPointer<Commands> self(this);
    const int limit = request.limit && !request.kind ? *request.limit : -1;
    const auto loaded =
        co_await outcome(m_services.history.listing(request.search, limit, std::stop_token()));
    if (!self) {
        co_return failure(kClosing);
    }
    if (!loaded.value) {
        co_return failure(QStringLiteral("no se pudo leer el historial (%1)").arg(loaded.error));
    }
    const QFuture<QByteArray> formatting = inWorker([request, all = *loaded.value] {
        QList<Clip> clips;
        for (const Clip& clip : all) {
            if (request.limit && clips.size() >= *request.limit) {
                break;
            }
            if (!request.kind || ClipListFilter::ofKind(*request.kind).matches(clip)) {
                clips.append(clip);
            }
        }
        if (request.json) {
            QJsonArray array;
            for (const Clip& clip : std::as_const(clips)) {
                array.append(jsonOf(clip));
            }
            return QJsonDocument(array).toJson(QJsonDocument::Indented);
        }
        QByteArray lines;
        for (const Clip& clip : std::as_const(clips)) {
            lines += lineOf(clip);
        }
        return lines;
    });
    const auto formatted = co_await outcome(formatting);
    co_return formatted.value ? done(*formatted.value) : failure(formatted.error);
}

QCoro::Task<CommandResult> Commands::get(qint64 id) {
    const auto found = co_await storedClip(id);
    if (const auto* answer = std::get_if<CommandResult>(&found)) {
        co_return *answer;
    }
    const Clip& clip = std::get<Clip>(found);
    if (clip.kind != ClipKind::image) {
        co_return done(clip.value.toUtf8());
    }
    if (!clip.imagePath) {
        co_return failure(QStringLiteral("la imagen del clip %1 ya no está disponible").arg(id));
    }
    const QFuture<QByteArray> reading =
        inWorker([path = *clip.imagePath] { return readFile(path); });
    const auto png = co_await outcome(reading);
    if (!png.value) {
        co_return failure(png.error);
    }
    co_return done(*png.value);
}

QCoro::Task<CommandResult> Commands::copy(qint64 id) {
    // The whole clip, html included, as the palette writes it.
    const auto found = co_await storedClip(id);
    if (const auto* answer = std::get_if<CommandResult>(&found)) {
        co_return *answer;
    }
    try {
        m_services.monitor.writeOwn(std::get<Clip>(found));
    } catch (const std::exception& error) {
        co_return failure(QStringLiteral("no se pudo copiar el clip %1: %2")
                              .arg(id)
                              .arg(QString::fromUtf8(error.what())));
    }
    co_return done();
}

QCoro::Task<CommandResult> Commands::add(QByteArray input) {
    QPointer<Commands> self(this);
    // Cut as a copied text is.
    const QFuture<CommandLine::InputText> decoding = inWorker([input = std::move(input)] {
        CommandLine::InputText text = CommandLine::inputText(input);
        text.text = Graphemes::prefix(text.text.trimmed(), maximumTextCharacters);
        return text;
    });
    const auto accepted = co_await outcome(decoding);
    if (!self) {
        co_return failure(kClosing);
    }
    if (!accepted.value || !accepted.value->error.isEmpty()) {
        co_return failure(accepted.value ? accepted.value->error : accepted.error);
    }
    const QString& text = accepted.value->text;
    const PreferencesStore& preferences = m_services.preferences;
    if (preferences.paused()) {
        co_return failure(QStringLiteral(
            "la captura está en pausa; no se ha añadido nada («orvantide resume» la reanuda)"));
    }
    // Where the command was typed stands for the application copied from, as for a copy.
    std::optional<QString> source;
    if (const auto front = m_services.workspace.frontmostApplication();
        front && front->bundleIdentifier != Workspace::ownBundleIdentifier) {
        source = front->localizedName;
    }
    if (preferences.excludes(source)) {
        co_return failure(
            QStringLiteral("«%1» está en las exclusiones; no se ha añadido nada").arg(*source));
    }
    ClipRecorder& recorder = m_services.recorder;
    // Named, not a temporary inside co_await: GCC 12 destroys such a temporary twice.
    CapturedClip clip{CapturedClip::Text{text, std::nullopt}, source};
    const std::optional<qint64> stored = co_await recorder.recordAndConfirm(std::move(clip));
    if (!self) {
        co_return failure(kClosing);
    }
    if (!stored) {
        co_return failure(recorder.persistentError().value_or(
            QStringLiteral("el historial no lo ha guardado todavía; se reintentará")));
    }
    // The id, for a script that goes on with it.
    co_return done(QByteArray::number(*stored) + '\n');
}

QCoro::Task<CommandResult> Commands::remove(qint64 id) {
    const auto found = co_await storedClip(id);
    if (const auto* answer = std::get_if<CommandResult>(&found)) {
        co_return *answer;
    }
    QPointer<Commands> self(this);
    ClipHistory& history = m_services.history;
    const auto deleted = co_await outcome(history.deleteClip(id));
    if (!self) {
        co_return failure(kClosing);
    }
    if (!deleted.value) {
        co_return failure(
            QStringLiteral("no se pudo borrar el clip %1 (%2)").arg(id).arg(deleted.error));
    }
    co_return done();
}

QCoro::Task<CommandResult> Commands::setPinned(qint64 id, bool pinned) {
    const auto found = co_await storedClip(id);
    if (const auto* answer = std::get_if<CommandResult>(&found)) {
        co_return *answer;
    }
    QPointer<Commands> self(this);
    ClipHistory& history = m_services.history;
    // The store only toggles: asking twice must leave it as asked.
    if (std::get<Clip>(found).pinned == pinned) {
        co_return done();
    }
    const auto toggled = co_await outcome(history.togglePinned(id));
    if (!self) {
        co_return failure(kClosing);
    }
    if (!toggled.value) {
        co_return failure(QStringLiteral("no se pudo %1 el clip %2 (%3)")
                              .arg(pinned ? QStringLiteral("fijar") : QStringLiteral("soltar"))
                              .arg(id)
                              .arg(toggled.error));
    }
    co_return done();
}

QCoro::Task<CommandResult> Commands::clear() {
    QPointer<Commands> self(this);
    const auto cleared = co_await outcome(m_services.history.clearUnpinned());
    if (!self) {
        co_return failure(kClosing);
    }
    if (!cleared.value) {
        co_return failure(
            QStringLiteral("no se pudo limpiar el historial (%1)").arg(cleared.error));
    }
    co_return done();
}

QCoro::Task<std::variant<Clip, CommandResult>> Commands::storedClip(qint64 id) {
    QPointer<Commands> self(this);
    const auto found = co_await outcome(m_services.history.clip(id));
    if (!self) {
        co_return failure(kClosing);
    }
    if (!found.value) {
        co_return failure(QStringLiteral("no se pudo leer el historial (%1)").arg(found.error));
    }
    if (!*found.value) {
        co_return notFound(id);
    }
    co_return **found.value;
}

}  // namespace orv
