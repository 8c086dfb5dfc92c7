#include "store/HistoryStore.h"

#include "store/ClipIdentity.h"
#include "store/FileError.h"
#include "store/ImageThumbnail.h"
#include "store/SqliteDatabase.h"
#include "store/SqliteStatement.h"
#include "store/StoreError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QUuid>
#include <QPromise>

#include <sqlite3.h>

#include <memory>
#include <type_traits>

namespace {

constexpr auto kSchema =
    "PRAGMA journal_mode = WAL;\n"
    "CREATE TABLE IF NOT EXISTS clips (\n"
    "    id INTEGER PRIMARY KEY AUTOINCREMENT,\n"
    "    kind TEXT NOT NULL,\n"
    "    value TEXT NOT NULL UNIQUE,\n"
    "    html TEXT,\n"
    "    image TEXT,\n"
    "    source TEXT,\n"
    "    created_at INTEGER NOT NULL,\n"
    "    pinned INTEGER NOT NULL DEFAULT 0\n"
    ");";

constexpr auto kTogglePin = "UPDATE clips SET pinned = 1 - pinned WHERE id = ?";
constexpr auto kDeleteOne = "DELETE FROM clips WHERE id = ?";
constexpr auto kUnpinnedImages = "SELECT image FROM clips WHERE pinned = 0 AND image IS NOT NULL";
constexpr auto kClearUnpinned = "DELETE FROM clips WHERE pinned = 0";

constexpr auto kClipById =
    "SELECT id, kind, value, html, image, source, created_at, pinned\n"
    "FROM clips WHERE id = ? LIMIT 1";

constexpr auto kClipByValue =
    "SELECT id, kind, value, html, image, source, created_at, pinned\n"
    "FROM clips WHERE value = ? LIMIT 1";

constexpr auto kUpsert =
    "INSERT INTO clips (kind, value, html, image, source, created_at)\n"
    "VALUES (?, ?, ?, ?, ?, ?)\n"
    "ON CONFLICT(value) DO UPDATE SET\n"
    "    created_at = excluded.created_at,\n"
    "    html = excluded.html,\n"
    "    source = excluded.source,\n"
    "    kind = excluded.kind,\n"
    "    image = COALESCE(excluded.image, clips.image)";

constexpr auto kSearch =
    "SELECT id, kind, value, NULL, image, source, created_at, pinned\n"
    "FROM clips\n"
    "WHERE (? = '' OR instr(lower(value), ?) > 0)\n"
    "ORDER BY pinned DESC, created_at DESC";

// The two prune statements differ only in their first line; K and C are spliced in as integers.
QByteArray pruneStatement(const char* firstLine, qint64 kept, qint64 cutoff) {
    return QByteArray(firstLine) +
           "\n"
           "WHERE pinned = 0 AND (\n"
           "    id NOT IN (\n"
           "        SELECT id FROM clips WHERE pinned = 0 ORDER BY created_at DESC LIMIT " +
           QByteArray::number(kept) +
           "\n"
           "    )\n"
           "    OR (" +
           QByteArray::number(cutoff) + " > 0 AND created_at < " + QByteArray::number(cutoff) +
           ")\n"
           ")";
}

constexpr qint64 kMillisecondsPerDay = 86'400'000;

// Lower-cases with Unicode rules, the same as the search text gets, so that "árbol" finds "ÁRBOL".
// Most clips are ASCII and take the byte loop.
void unicodeLower(sqlite3_context* context, int, sqlite3_value** arguments) {
    sqlite3_value* argument = arguments[0];
    if (sqlite3_value_type(argument) == SQLITE_NULL) {
        sqlite3_result_null(context);
        return;
    }
    const auto* text = sqlite3_value_text(argument);
    const int length = sqlite3_value_bytes(argument);
    if (text == nullptr) {
        sqlite3_result_error_nomem(context);
        return;
    }
    auto* lowered = static_cast<unsigned char*>(sqlite3_malloc64(sqlite3_uint64(length) + 1));
    if (lowered == nullptr) {
        sqlite3_result_error_nomem(context);
        return;
    }
    for (int i = 0; i < length; ++i) {
        const unsigned char c = text[i];
        if (c >= 0x80) {
            sqlite3_free(lowered);
            const QByteArray utf8 =
                QString::fromUtf8(reinterpret_cast<const char*>(text), length).toLower().toUtf8();
            sqlite3_result_text64(context, utf8.constData(), sqlite3_uint64(utf8.size()),
                                  SQLITE_TRANSIENT, SQLITE_UTF8);
            return;
        }
        lowered[i] = (c >= 'A' && c <= 'Z') ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
    }
    lowered[length] = 0;
    sqlite3_result_text64(context, reinterpret_cast<const char*>(lowered), sqlite3_uint64(length),
                          sqlite3_free, SQLITE_UTF8);
}

QString absoluteClean(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Creates a folder private to the user; an existing one is left as it is.
void makeDirectory(const QString& path) {
    if (QFileInfo(path).isDir()) {
        return;
    }
    const QString parent = QFileInfo(path).absolutePath();
    const bool made = QDir().mkpath(parent) &&
                      QDir().mkdir(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    if (!made && !QFileInfo(path).isDir()) {
        throw FileError(QStringLiteral("No se pudo crear la carpeta «%1».").arg(path));
    }
}

// A new database file is created readable by its owner only; SQLite gives its journal files the
// same mode.
void createPrivateFile(const QString& path) {
    if (QFileInfo::exists(path)) {
        return;
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFile::ReadOwner | QFile::WriteOwner)) {
        file.close();
    }
}

void writeAtomically(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        throw FileError(
            QStringLiteral("No se pudo guardar la imagen «%1»: %2").arg(path, file.errorString()));
    }
}

// Makes the folders and the private database file that the connection is about to open.
const QString& preparedDatabasePath(const QString& databasePath, const QString& imageDirectory) {
    makeDirectory(QFileInfo(databasePath).absolutePath());
    makeDirectory(imageDirectory);
    createPrivateFile(databasePath);
    return databasePath;
}

qint64 milliseconds(const QDateTime& time) {
    return time.toMSecsSinceEpoch();
}

}  // namespace

// The state that only the worker touches.
class HistoryStore::Isolated {
public:
    Isolated(const QString& databasePath, const QString& imageDirectory)
        : imageDirectory(absoluteClean(imageDirectory)),
          database(preparedDatabasePath(databasePath, this->imageDirectory)) {
        database.execute(kSchema);
        const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
        if (sqlite3_create_function_v2(database.handle(), "lower", 1, flags, nullptr,
                                       &unicodeLower, nullptr, nullptr, nullptr) != SQLITE_OK) {
            throw StoreError::sqlite(sqliteErrorMessage(database.handle()));
        }
    }

    void upsert(ClipKind kind, const QString& value, const std::optional<QString>& html,
                const std::optional<QString>& imagePath, const std::optional<QString>& source,
                const QDateTime& createdAt) {
        SqliteStatement statement = database.prepare(kUpsert);
        statement.bind(1, rawValue(kind));
        statement.bind(2, value);
        statement.bind(3, html);
        statement.bind(4, imagePath);
        statement.bind(5, source);
        statement.bind(6, milliseconds(createdAt));
        statement.run();
    }

    void recordImage(const QByteArray& data, const std::optional<QString>& source,
                     const QDateTime& createdAt) {
        if (data.isEmpty() || data.size() > maximumImageBytes) {
            return;
        }
        const QSize size = ImageThumbnail::dimensions(data).value_or(QSize(0, 0));
        const QString value = ClipIdentity::imageValue(data, size.width(), size.height());
        if (const auto existing = clipWhere(kClipByValue, value); existing && existing->imagePath) {
            upsert(ClipKind::image, value, std::nullopt, existing->imagePath, source, createdAt);
            return;
        }
        const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        const QString imagePath = imageDirectory + u'/' + name + QStringLiteral(".png");
        const QString thumbnailPath = imageDirectory + u'/' + name + QStringLiteral(".thumb.png");
        writeAtomically(imagePath, data);
        // Files without a row are never shown nor cleaned up, so a failed record leaves none.
        try {
            if (const auto thumbnail = ImageThumbnail::png(data, thumbnailMaxPixel)) {
                writeAtomically(thumbnailPath, *thumbnail);
            }
            upsert(ClipKind::image, value, std::nullopt, imagePath, source, createdAt);
        } catch (...) {
            QFile::remove(imagePath);
            QFile::remove(thumbnailPath);
            throw;
        }
    }

    void togglePinned(qint64 id) {
        SqliteStatement statement = database.prepare(kTogglePin);
        statement.bind(1, id);
        statement.run();
    }

    // Files go only after their row is gone, so a failed delete never leaves a row without its
    // image.
    void deleteClip(qint64 id) {
        const auto clip = clipWhere(kClipById, id);
        SqliteStatement statement = database.prepare(kDeleteOne);
        statement.bind(1, id);
        statement.run();
        if (clip) {
            removeStoredImage(clip->imagePath);
        }
    }

    void clearUnpinned() {
        SqliteStatement images = database.prepare(kUnpinnedImages);
        const QStringList paths = imagePaths(images);
        database.execute(kClearUnpinned);
        for (const QString& path : paths) {
            removeStoredImage(path);
        }
    }

    void prune(int maxItems, int retentionDays) {
        const qint64 kept = maxItems < 1 ? 1 : maxItems;
        qint64 cutoff = 0;
        if (retentionDays > 0) {
            cutoff = QDateTime::currentMSecsSinceEpoch() - qint64(retentionDays) * kMillisecondsPerDay;
        }
        SqliteStatement images = database.prepare(pruneStatement("SELECT image FROM clips", kept, cutoff));
        const QStringList paths = imagePaths(images);
        database.execute(pruneStatement("DELETE FROM clips", kept, cutoff));
        for (const QString& path : paths) {
            removeStoredImage(path);
        }
    }

    QList<Clip> clips(const QString& matching) {
        SqliteStatement statement = database.prepare(kSearch);
        const QString needle = matching.trimmed().toLower();
        statement.bind(1, needle);
        statement.bind(2, needle);
        return rows(statement);
    }

    template <typename Key>
    std::optional<Clip> clipWhere(const char* sql, const Key& key) {
        SqliteStatement statement = database.prepare(sql);
        statement.bind(1, key);
        const QList<Clip> found = rows(statement);
        if (found.isEmpty()) {
            return std::nullopt;
        }
        return found.first();
    }

    void close() { database.close(); }

    const QString imageDirectory;

private:
    static Clip read(const SqliteStatement& statement) {
        Clip clip;
        clip.id = statement.int64At(0);
        clip.kind = clipKindFromRaw(statement.textAt(1).value_or(QString())).value_or(ClipKind::text);
        clip.value = statement.textAt(2).value_or(QString());
        clip.html = statement.textAt(3);
        clip.imagePath = statement.textAt(4);
        clip.source = statement.textAt(5);
        clip.createdAt = QDateTime::fromMSecsSinceEpoch(statement.int64At(6), Qt::UTC);
        clip.pinned = statement.int64At(7) != 0;
        return clip;
    }

    static QList<Clip> rows(SqliteStatement& statement) {
        QList<Clip> result;
        while (statement.step()) {
            result.append(read(statement));
        }
        return result;
    }

    // The paths a selection of images yields; a stepping error ends the list early.
    static QStringList imagePaths(SqliteStatement& statement) {
        QStringList paths;
        try {
            while (statement.step()) {
                if (auto path = statement.textAt(0)) {
                    paths.append(*path);
                }
            }
        } catch (const StoreError&) {
        }
        return paths;
    }

    // Deletes an image and its thumbnail, only when they really lie inside the image folder;
    // failures are of no consequence to the history and are not reported.
    void removeStoredImage(const std::optional<QString>& path) const {
        if (!path) {
            return;
        }
        const QString clean = absoluteClean(*path);
        const QString folder = imageDirectory.endsWith(u'/') ? imageDirectory : imageDirectory + u'/';
        if (!clean.startsWith(folder) || clean.size() == folder.size()) {
            return;
        }
        QFile::remove(clean);
        if (clean.endsWith(u".png")) {
            QFile::remove(clean.chopped(4) + QStringLiteral(".thumb.png"));
        }
    }

    SqliteDatabase database;
};

HistoryStore::HistoryStore(const QString& databasePath, const QString& imageDirectory)
    : m_isolated(std::make_unique<Isolated>(databasePath, imageDirectory)) {
    m_worker.setMaxThreadCount(1);
    m_worker.setExpiryTimeout(-1);
}

HistoryStore::~HistoryStore() {
    m_worker.waitForDone();
}

const QString& HistoryStore::imageDirectory() const {
    return m_isolated->imageDirectory;
}

// A plain promise rather than QtConcurrent::run: a thread that blocks on a QtConcurrent future runs
// the task itself when it has not started yet, out of order and off the worker.
template <typename Operation>
auto HistoryStore::enqueue(Operation operation) {
    using Result = std::invoke_result_t<Operation&>;
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    m_worker.start([promise, operation = std::move(operation)]() mutable {
        try {
            if constexpr (std::is_void_v<Result>) {
                operation();
            } else {
                promise->addResult(operation());
            }
        } catch (const QException& error) {
            promise->setException(error);
        } catch (...) {
            promise->setException(std::current_exception());
        }
        promise->finish();
    });
    return future;
}

QFuture<void> HistoryStore::upsert(ClipKind kind, const QString& value,
                                   const std::optional<QString>& html,
                                   const std::optional<QString>& imagePath,
                                   const std::optional<QString>& source,
                                   const QDateTime& createdAt) {
    return enqueue([this, kind, value, html, imagePath, source, createdAt] {
        m_isolated->upsert(kind, value, html, imagePath, source, createdAt);
    });
}

QFuture<void> HistoryStore::recordImage(const QByteArray& data,
                                        const std::optional<QString>& source,
                                        const QDateTime& createdAt) {
    return enqueue(
        [this, data, source, createdAt] { m_isolated->recordImage(data, source, createdAt); });
}

QFuture<void> HistoryStore::togglePinned(qint64 id) {
    return enqueue([this, id] { m_isolated->togglePinned(id); });
}

QFuture<void> HistoryStore::deleteClip(qint64 id) {
    return enqueue([this, id] { m_isolated->deleteClip(id); });
}

QFuture<void> HistoryStore::clearUnpinned() {
    return enqueue([this] { m_isolated->clearUnpinned(); });
}

QFuture<void> HistoryStore::prune(int maxItems, int retentionDays) {
    return enqueue([this, maxItems, retentionDays] { m_isolated->prune(maxItems, retentionDays); });
}

QFuture<QList<Clip>> HistoryStore::clips(const QString& matching) {
    return enqueue([this, matching] { return m_isolated->clips(matching); });
}

QFuture<std::optional<Clip>> HistoryStore::clip(qint64 id) {
    return enqueue([this, id] { return m_isolated->clipWhere(kClipById, id); });
}

QFuture<void> HistoryStore::close() {
    return enqueue([this] { m_isolated->close(); });
}
