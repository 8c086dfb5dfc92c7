#include "store/HistoryStore.h"

#include "logging/Logging.h"
#include "store/ClipIdentity.h"
#include "store/Error.h"
#include "store/ImageFiles.h"
#include "store/ImageThumbnail.h"
#include "store/PrivateFolder.h"
#include "store/SqliteDatabase.h"
#include "store/SqliteStatement.h"
#include "store/TextFolding.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPromise>
#include <QSet>
#include <QUuid>
#include <QtConcurrent/QtConcurrentRun>

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <stop_token>
#include <type_traits>

namespace orv {

namespace {

// BEGIN IMMEDIATE: the database's write lock, taken at once; rolled back unless committed.
class WriteTransaction {
public:
    explicit WriteTransaction(const SqliteDatabase& database) : m_database(database) {
        m_database.execute("BEGIN IMMEDIATE");
    }
    ~WriteTransaction() {
        if (!m_done) {
            try {
                m_database.execute("ROLLBACK");
            } catch (...) {
                // The connection gave up the transaction already.
            }
        }
    }
    WriteTransaction(const WriteTransaction&) = delete;
    WriteTransaction& operator=(const WriteTransaction&) = delete;
    void commit() {
        m_database.execute("COMMIT");
        m_done = true;
    }

private:
    const SqliteDatabase& m_database;
    bool m_done = false;
};

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

// What lists read besides the table itself, kept by the database in step with every statement
// that writes clips: an index that walks the list in its order and holds every column a row draws
// but the value, and each value's beginning (a files list whole: its rows show the first path and
// the count), so that listing never reads a long value through.
constexpr auto kListingSchema =
    "CREATE INDEX IF NOT EXISTS clips_by_pin_and_time\n"
    "    ON clips (pinned DESC, created_at DESC, kind, image, source);\n"
    "CREATE TABLE IF NOT EXISTS clip_heads (\n"
    "    id INTEGER PRIMARY KEY,\n"
    "    head TEXT NOT NULL,\n"
    "    cut INTEGER NOT NULL\n"
    ");\n"
    "CREATE TRIGGER IF NOT EXISTS clip_heads_insert AFTER INSERT ON clips BEGIN\n"
    "    INSERT OR REPLACE INTO clip_heads (id, head, cut) VALUES (\n"
    "        new.id,\n"
    "        CASE WHEN new.kind = 'files' THEN new.value ELSE substr(new.value, 1, 2048) END,\n"
    "        new.kind <> 'files' AND substr(new.value, 2049, 1) <> '');\n"
    "END;\n"
    "CREATE TRIGGER IF NOT EXISTS clip_heads_update AFTER UPDATE OF id, kind, value ON clips\n"
    "BEGIN\n"
    "    DELETE FROM clip_heads WHERE id = old.id;\n"
    "    INSERT OR REPLACE INTO clip_heads (id, head, cut) VALUES (\n"
    "        new.id,\n"
    "        CASE WHEN new.kind = 'files' THEN new.value ELSE substr(new.value, 1, 2048) END,\n"
    "        new.kind <> 'files' AND substr(new.value, 2049, 1) <> '');\n"
    "END;\n"
    "CREATE TRIGGER IF NOT EXISTS clip_heads_delete AFTER DELETE ON clips BEGIN\n"
    "    DELETE FROM clip_heads WHERE id = old.id;\n"
    "END;";

// A history written before the beginnings were kept (or by another program) gets them once.
constexpr auto kHeadsMissing =
    "SELECT (SELECT count(*) FROM clips) <> (SELECT count(*) FROM clip_heads)";
constexpr auto kRepairHeads =
    "DELETE FROM clip_heads WHERE id NOT IN (SELECT id FROM clips);\n"
    "INSERT INTO clip_heads (id, head, cut)\n"
    "SELECT id,\n"
    "    CASE WHEN kind = 'files' THEN value ELSE substr(value, 1, 2048) END,\n"
    "    kind <> 'files' AND substr(value, 2049, 1) <> ''\n"
    "FROM clips WHERE id NOT IN (SELECT id FROM clip_heads);";

// A row reads only what it draws; the search still looks through whole values.
constexpr auto kListingColumns =
    "SELECT c.id, c.kind, h.head, NULL, c.image, c.source, c.created_at, c.pinned, h.cut\n"
    "FROM clips AS c JOIN clip_heads AS h ON h.id = c.id\n";
constexpr auto kListingMatch = "WHERE (?1 = '' OR contains_folded(c.value, ?1))\n";
constexpr auto kListingOrder =
    "ORDER BY c.pinned DESC, c.created_at DESC\n"
    "LIMIT ?2";

// Past this many matches, looking among them costs about what looking through everything does.
constexpr qsizetype kNarrowedMatches = 5000;
static_assert(Clip::listedCharacters == 2048);

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
    "    image = COALESCE(excluded.image, clips.image)\n"
    "RETURNING id";

constexpr auto kSearch =
    "SELECT id, kind, value, NULL, image, source, created_at, pinned\n"
    "FROM clips\n"
    "WHERE (? = '' OR instr(lower(value), ?) > 0)\n"
    "ORDER BY pinned DESC, created_at DESC";

// Lets a statement stop between rows once its caller has given up on it.
class StopCheck {
public:
    StopCheck(sqlite3* database, const std::stop_token& stop) : m_database(database), m_stop(stop) {
        sqlite3_progress_handler(m_database, 1000, &StopCheck::stopped, &m_stop);
    }
    ~StopCheck() { sqlite3_progress_handler(m_database, 0, nullptr, nullptr); }
    StopCheck(const StopCheck&) = delete;
    StopCheck& operator=(const StopCheck&) = delete;

private:
    static int stopped(void* stop) {
        return static_cast<const std::stop_token*>(stop)->stop_requested() ? 1 : 0;
    }

    sqlite3* m_database;
    std::stop_token m_stop;
};

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

// Pruning runs after every capture: emptying the log there at once would cost a sync of the disk
// each time, so the rows it drops are scrubbed from the log a little later.
constexpr std::chrono::milliseconds kPrunedScrubDelay{2000};

QString absoluteClean(const QString& path) {
    return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Makes the folders and the private database file that the connection is about to open.
const QString& preparedDatabasePath(const QString& databasePath, const QString& imageDirectory) {
    makePrivateFolder(QFileInfo(databasePath).absolutePath());
    makePrivateFolder(imageDirectory);
    ImageFiles::createPrivateFile(databasePath);
    // A file put back from elsewhere may be readable by others.
    const auto owner = QFile::ReadOwner | QFile::WriteOwner;
    if (QFile::permissions(databasePath) != (owner | QFile::ReadUser | QFile::WriteUser)) {
        QFile::setPermissions(databasePath, owner);
    }
    return databasePath;
}

qint64 milliseconds(const QDateTime& time) {
    return time.toMSecsSinceEpoch();
}

struct FileIdentity {
    dev_t device;
    ino_t inode;
    bool operator==(const FileIdentity&) const = default;
};

std::optional<FileIdentity> identity(const QString& path) {
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0) {
        return std::nullopt;
    }
    return FileIdentity{status.st_dev, status.st_ino};
}

}  // namespace

// The state that only the worker touches.
class HistoryStore::Isolated {
public:
    // Where the history stands: rows this connection changed, and commits of other connections.
    struct Version {
        qint64 changes = 0;
        qint64 others = 0;
        bool operator==(const Version&) const = default;
    };
    // Every row's beginning folded, in list order, for the history as it was when read. Rows that
    // hold their whole value there are searched in memory, a few bytes each, instead of walking
    // the table row by row; only the rest are read whole.
    struct SearchIndex {
        struct Entry {
            qint64 id = 0;
            QByteArray folded;
            // Only the beginning of the value is here.
            bool cut = false;
        };
        Version version;
        std::vector<Entry> entries;
    };
    // What a file that cannot be written still gives: lists and searches; every write fails.
    Isolated(const QString& databasePath, const QString& imageDirectory, SqliteDatabase::ReadOnly)
        : imageDirectory(absoluteClean(imageDirectory)),
          databasePath(databasePath),
          readOnly(true),
          database(databasePath, SqliteDatabase::ReadOnly{}),
          file(identity(databasePath)) {
        if (!TextFolding::registerSqlFunctions(database.handle())) {
            throw Error::sqlite(sqliteErrorMessage(database.handle()));
        }
    }

    Isolated(const QString& databasePath, const QString& imageDirectory)
        : imageDirectory(absoluteClean(imageDirectory)),
          databasePath(databasePath),
          database(preparedDatabasePath(databasePath, this->imageDirectory)),
          file(identity(databasePath)) {
        database.execute(kSchema);
        database.execute(kListingSchema);
        if (headsMissing()) {
            database.execute(kRepairHeads);
        }
        // With the WAL journal this stays consistent through crashes and skips an fsync per
        // commit; only an operating-system crash can roll back the latest captures.
        database.execute("PRAGMA synchronous = NORMAL;");
        // Deleted clips are overwritten with zeros, not merely unlinked from the table.
        database.execute("PRAGMA secure_delete = ON;");
        if (!TextFolding::registerSqlFunctions(database.handle())) {
            throw Error::sqlite(sqliteErrorMessage(database.handle()));
        }
        // A crash may have left deleted rows in the log (a prune's, not yet scrubbed).
        logHoldsDeleted = true;
        scrubLog();
    }

    ~Isolated() {
        searchDatabase.reset();
        if (readOnly) {
            return;
        }
        if (database.isOpen() && !stillAtItsPath()) {
            leaveTheReplacedFile();
            return;
        }
        scrubLog();
    }

    // The file the connection has open is still the one at the path.
    bool stillAtItsPath() {
        const auto now = identity(databasePath);
        if (!now || now != file) {
            return false;
        }
        // Ours while the database is: known again when the file under the connection changes.
        for (auto& [suffix, known] : journals) {
            if (const auto at = identity(databasePath + suffix)) {
                known = at;
            }
        }
        return true;
    }

    // The connection's log goes into the file it belongs to, and the log and index files at the
    // path are removed only when they are still ours, never a newcomer's.
    void leaveTheReplacedFile() {
        int persist = 1;
        sqlite3_file_control(database.handle(), "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
        database.checkpoint();
        database.close();
        for (const auto& [suffix, known] : journals) {
            const QString path = databasePath + suffix;
            if (known && identity(path) == known) {
                QFile::remove(path);
            }
        }
    }

    bool headsMissing() const {
        SqliteStatement missing = database.prepare(kHeadsMissing);
        return missing.step() && missing.int64At(0) != 0;
    }
    Isolated(const Isolated&) = delete;
    Isolated& operator=(const Isolated&) = delete;

    qint64 upsert(ClipKind kind, const QString& value, const std::optional<QString>& html,
                  const std::optional<QString>& imagePath, const std::optional<QString>& source,
                  const QDateTime& createdAt) {
        SqliteStatement statement = database.prepare(kUpsert);
        statement.bind(1, rawValue(kind));
        statement.bind(2, value);
        statement.bind(3, html);
        statement.bind(4, imagePath);
        statement.bind(5, source);
        statement.bind(6, milliseconds(createdAt));
        if (!statement.step()) {
            throw Error::sqlite(sqliteErrorMessage(database.handle()));
        }
        return statement.int64At(0);
    }

    qint64 recordImage(const QByteArray& data, const std::optional<QString>& source,
                       const QDateTime& createdAt) {
        if (data.isEmpty() || data.size() > maximumImageBytes) {
            return 0;
        }
        const QSize size = ImageThumbnail::dimensions(data).value_or(QSize(0, 0));
        const QString value = ClipIdentity::imageValue(data, size.width(), size.height());
        // An image already stored is only refreshed; its stored path stays as written (NULL keeps
        // it). One whose file has gone is written again.
        if (const auto existing = clipWhere(kClipByValue, value);
            existing && existing->imagePath && QFileInfo(*existing->imagePath).isFile()) {
            return upsert(ClipKind::image, value, std::nullopt, std::nullopt, source, createdAt);
        }
        const QString name = QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper();
        const QString imagePath = imageDirectory + u'/' + name + QStringLiteral(".png");
        const QString thumbnailPath = ImageThumbnail::pathFor(imagePath);
        // Files and row under one write lock: a sweep for files without a row (in another
        // instance on this history too) can never come between them.
        WriteTransaction transaction(database);
        ImageFiles::writeAtomically(imagePath, data);
        // Files without a row are never shown, so a failed record leaves none.
        try {
            if (const auto thumbnail = ImageThumbnail::png(data, thumbnailMaxPixel)) {
                ImageFiles::writeAtomically(thumbnailPath, *thumbnail);
            }
            const qint64 id =
                upsert(ClipKind::image, value, std::nullopt, imagePath, source, createdAt);
            transaction.commit();
            return id;
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
    // image. What the user deletes leaves the disk at once, log included.
    void deleteClip(qint64 id) {
        const auto clip = clipWhere(kClipById, id);
        SqliteStatement statement = database.prepare(kDeleteOne);
        statement.bind(1, id);
        statement.run();
        const bool deleted = database.changes() > 0;
        if (clip) {
            removeStoredImage(clip->imagePath);
        }
        if (deleted) {
            logHoldsDeleted = true;
            scrubLog();
        }
    }

    void clearUnpinned() {
        SqliteStatement images = database.prepare(kUnpinnedImages);
        const QStringList paths = imagePaths(images);
        database.execute(kClearUnpinned);
        const bool deleted = database.changes() > 0;
        for (const QString& path : paths) {
            removeStoredImage(located(path));
        }
        if (deleted) {
            logHoldsDeleted = true;
            scrubLog();
        }
    }

    void prune(int maxItems, int retentionDays) {
        const qint64 kept = maxItems < 1 ? 1 : maxItems;
        qint64 cutoff = 0;
        if (retentionDays > 0) {
            cutoff =
                QDateTime::currentMSecsSinceEpoch() - qint64(retentionDays) * kMillisecondsPerDay;
        }
        SqliteStatement images =
            database.prepare(pruneStatement("SELECT image FROM clips", kept, cutoff));
        const QStringList paths = imagePaths(images);
        database.execute(pruneStatement("DELETE FROM clips", kept, cutoff));
        const bool deleted = database.changes() > 0;
        for (const QString& path : paths) {
            removeStoredImage(located(path));
        }
        if (deleted) {
            logHoldsDeleted = true;
            if (scrubSoon) {
                scrubSoon();
            }
        }
    }

    // Empties the write-ahead log into the database file, where deleted rows are zeros, so that no
    // copy of them stays behind in the log. A reader of another process can hold it back; then
    // the next deletion or the close tries again.
    void scrubLog() {
        if (!logHoldsDeleted || !database.isOpen()) {
            return;
        }
        logHoldsDeleted = !database.checkpoint();
        if (logHoldsDeleted) {
            qCWarning(lcStore) << "the history log could not be emptied:"
                               << sqliteErrorMessage(database.handle());
        }
    }

    QList<Clip> clips(const QString& matching) {
        SqliteStatement statement = database.prepare(kSearch);
        const QString needle = TextFolding::searchFolded(matching.trimmed());
        statement.bind(1, needle);
        statement.bind(2, needle);
        return rows(statement);
    }

    QList<Clip> listing(const QString& matching, int limit, const std::stop_token& stop) {
        QList<Clip> result;
        if (stop.stop_requested()) {
            return result;
        }
        const QString needle = TextFolding::searchFolded(matching.trimmed());
        const std::optional<Version> version = currentVersion();
        // Each opening asks again for the list it had last time, and clearing a search for the one
        // before it: unless the history changed, the whole list kept answers both, its first rows
        // too. Shared with the palette, it costs no memory of its own.
        if (version && lastWhole && lastWhole->version == *version && lastWhole->needle == needle) {
            return limit < 0 ? lastWhole->clips
                             : lastWhole->clips.first(
                                   std::min(qsizetype(limit), lastWhole->clips.size()));
        }
        // Typing on adds to the search text: what the text found before holds everything the
        // longer one can find, unless the history has changed since.
        const bool narrowed = lastSearch && version && lastSearch->version == *version &&
                              !needle.isEmpty() && needle.contains(lastSearch->needle);
        if (!needle.isEmpty() && version) {
            if (std::optional<QList<Clip>> found = searchedInMemory(
                    needle, limit, *version, narrowed ? &lastSearch->found : nullptr, stop)) {
                result = std::move(*found);
            } else if (narrowed) {
                result = listed(database,
                                QByteArray(kListingColumns) + "WHERE c.id IN (" + lastSearch->ids +
                                    ") AND contains_folded(c.value, ?1)\n" + kListingOrder,
                                needle, limit, std::nullopt, stop);
            } else {
                result = searchedInHalves(needle, limit, stop);
            }
        } else if (narrowed) {
            result = listed(database,
                            QByteArray(kListingColumns) + "WHERE c.id IN (" + lastSearch->ids +
                                ") AND contains_folded(c.value, ?1)\n" + kListingOrder,
                            needle, limit, std::nullopt, stop);
        } else if (needle.isEmpty()) {
            // The whole list comes after the rows an opening shows first and reads every row's
            // beginning: the index for the keys that follow is made from it, not on the first
            // of them.
            const bool indexing = version && limit < 0 && !indexFor(*version);
            std::vector<SearchIndex::Entry> entries;
            result = listed(database, QByteArray(kListingColumns) + kListingMatch + kListingOrder,
                            needle, limit, std::nullopt, stop, indexing ? &entries : nullptr);
            if (indexing && !stop.stop_requested()) {
                adoptIndex(SearchIndex{*version, std::move(entries)}, std::stop_token());
            }
        } else {
            result = searchedInHalves(needle, limit, stop);
        }
        lastSearch.reset();
        if (stop.stop_requested()) {
            result.clear();
            return result;
        }
        if (version && limit < 0) {
            // The list it replaces is let go here, off the main thread, once the palette has
            // let go of it too.
            lastWhole = WholeListing{needle, *version, result};
        }
        if (version && !needle.isEmpty() && (limit < 0 || result.size() < limit) &&
            result.size() <= kNarrowedMatches) {
            QByteArrayList ids;
            QSet<qint64> found;
            ids.reserve(result.size());
            found.reserve(result.size());
            for (const Clip& clip : std::as_const(result)) {
                ids.append(QByteArray::number(clip.id));
                found.insert(clip.id);
            }
            lastSearch = LastSearch{needle, ids.isEmpty() ? "NULL" : ids.join(','), *version,
                                    std::move(found)};
        }
        return result;
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

    void close() {
        lastWhole.reset();
        searchIndex.reset();
        signatures.clear();
        searchDatabase.reset();
        scrubLog();
        database.close();
    }

    int removeOrphanImages() {
        // A link in place of the folder leads to files that are not the store's to judge.
        if (QFileInfo(imageDirectory).isSymLink()) {
            qCInfo(lcStore) << "the image folder is a symbolic link; no orphan is removed from it";
            return 0;
        }
        // Images are written under the write lock with their rows: holding it, a file that no row
        // names is nobody's, however new.
        WriteTransaction transaction(database);
        // Rows are matched by file name: a moved data folder keeps its files, whatever folder
        // the stored paths still name.
        SqliteStatement named = database.prepare("SELECT image FROM clips WHERE image IS NOT NULL");
        QSet<QString> kept;
        for (const QString& path : imagePaths(named)) {
            const QString name = QFileInfo(path).fileName();
            kept.insert(name);
            if (ImageFiles::isOwnImage(name)) {
                kept.insert(ImageFiles::thumbnailName(name));
            }
        }
        QStringList orphans;
        const QFileInfoList files =
            QDir(imageDirectory)
                .entryInfoList({QStringLiteral("*.png")},
                               QDir::Files | QDir::NoSymLinks | QDir::Hidden);
        for (const QFileInfo& file : files) {
            const QString name = file.fileName();
            if ((ImageFiles::isOwnImage(name) || ImageFiles::isOwnThumbnail(name)) &&
                !kept.contains(name)) {
                orphans.append(name);
            }
        }
        const int removed = ImageFiles::removeFromFolder(imageDirectory, orphans);
        transaction.commit();
        if (removed > 0) {
            qCInfo(lcStore) << "removed" << removed << "image files that no clip names";
        }
        return removed;
    }

    bool isReadOnly() const { return readOnly; }

    const QString imageDirectory;
    // Asks for scrubLog() on the worker a little later; set by the store.
    std::function<void()> scrubSoon;

private:
    // Where a stored image is now. Paths are stored absolute, so after the data folder has moved
    // (or been copied) they name the old place: the file of the same name in this image folder
    // is the one. The stored text itself is never rewritten.
    std::optional<QString> located(const std::optional<QString>& stored) const {
        if (!stored) {
            return stored;
        }
        const qsizetype folder = imageDirectory.size();
        if (stored->size() > folder + 1 && stored->startsWith(imageDirectory) &&
            stored->at(folder) == u'/' && stored->indexOf(u'/', folder + 1) < 0) {
            return stored;
        }
        const QString name = QFileInfo(*stored).fileName();
        const QString here = imageDirectory + u'/' + name;
        if (!name.isEmpty() && name != u".." && QFileInfo(here).isFile() &&
            !QFileInfo(here).isSymLink()) {
            return here;
        }
        return stored;
    }

    Clip read(const SqliteStatement& statement) const {
        Clip clip;
        clip.id = statement.int64At(0);
        clip.kind =
            clipKindFromRaw(statement.textAt(1).value_or(QString())).value_or(ClipKind::text);
        clip.value = statement.textAt(2).value_or(QString());
        clip.html = statement.textAt(3);
        clip.imagePath = located(statement.textAt(4));
        clip.source = statement.textAt(5);
        clip.createdAt = QDateTime::fromMSecsSinceEpoch(statement.int64At(6), Qt::UTC);
        clip.pinned = statement.int64At(7) != 0;
        return clip;
    }

    QList<Clip> rows(SqliteStatement& statement) const {
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
        } catch (const Error& error) {
            qCWarning(lcStore) << "listing image files stopped early:" << error.message();
        }
        return paths;
    }

    // Deletes an image and its thumbnail, only when the image is one the store wrote and it lies in
    // the image folder itself once every symlink on the way is resolved (a link inside the folder
    // leads elsewhere); failures are not reported.
    void removeStoredImage(const std::optional<QString>& path) const {
        if (!path) {
            return;
        }
        const QFileInfo file(*path);
        const QString name = file.fileName();
        if (!ImageFiles::isOwnImage(name)) {
            return;
        }
        const QString folder = QFileInfo(imageDirectory).canonicalFilePath();
        if (folder.isEmpty() || QFileInfo(file.absolutePath()).canonicalFilePath() != folder) {
            return;
        }
        ImageFiles::removeFromFolder(folder, {name, ImageFiles::thumbnailName(name)});
    }

    // The rows of a listing statement on `connection`, until it ends or `stop` is requested; ?3
    // takes `half` when given.
    QList<Clip> listed(const SqliteDatabase& connection, const QByteArray& sql,
                       const QString& needle, int limit, std::optional<int> half,
                       const std::stop_token& stop,
                       std::vector<SearchIndex::Entry>* folded = nullptr) const {
        QList<Clip> result;
        SqliteStatement statement = connection.prepare(sql);
        statement.bind(1, needle);
        statement.bind(2, qint64(limit));
        if (half) {
            statement.bind(3, qint64(*half));
        }
        stepped(connection, statement, stop, [&] {
            result.append(read(statement));
            result.last().partial = statement.int64At(8) != 0;
            if (folded != nullptr) {
                // The bytes as stored: text that is not UTF-8 folds as the search sees it.
                folded->push_back({result.last().id, TextFolding::folded(statement.utf8At(2)),
                                   result.last().partial});
            }
        });
        return result;
    }

    // Runs `half(connection, parity)` for the even ids here and the odd ones on the second
    // connection at once; both answers, even first.
    template <typename Half>
    auto inHalves(const Half& half) {
        openSearchDatabase();
        auto odd = QtConcurrent::run([&] { return half(*searchDatabase, 1); });
        decltype(half(database, 0)) even;
        try {
            even = half(database, 0);
        } catch (...) {
            // The other half reads what this frame holds.
            odd.waitForFinished();
            throw;
        }
        return std::pair(std::move(even), odd.result());
    }

    // Steps `statement` to its end, or until `stop`, handing each row to `row`.
    template <typename Row>
    static void stepped(const SqliteDatabase& connection, SqliteStatement& statement,
                        const std::stop_token& stop, const Row& row) {
        const StopCheck check(connection.handle(), stop);
        try {
            while (statement.step() && !stop.stop_requested()) {
                row();
            }
        } catch (const Error&) {
            if (!stop.stop_requested()) {
                throw;
            }
        }
    }

    // False when stopped first.
    bool indexCurrent(const Version& version, const std::stop_token& stop) {
        if (indexFor(version)) {
            return true;
        }
        searchIndex.reset();
        SearchIndex index{version, {}};
        SqliteStatement statement = database.prepare(
            "SELECT c.id, h.head, h.cut FROM clips AS c JOIN clip_heads AS h ON h.id = c.id\n"
            "ORDER BY c.pinned DESC, c.created_at DESC");
        stepped(database, statement, stop, [&] {
            index.entries.push_back({statement.int64At(0), TextFolding::folded(statement.utf8At(1)),
                                     statement.int64At(2) != 0});
        });
        return !stop.stop_requested() && adoptIndex(std::move(index), stop);
    }

    bool indexFor(const Version& version) const {
        return searchIndex && searchIndex->version == version;
    }

    // False when stopped before the long rows had their signatures.
    bool adoptIndex(SearchIndex index, const std::stop_token& stop) {
        if (!signaturesCurrent(index, index.version, stop)) {
            return false;
        }
        searchIndex = std::move(index);
        return true;
    }

    // Rows longer than their beginning get the pair signature of their whole value, read once:
    // their values never change here, only another program could change them.
    bool signaturesCurrent(const SearchIndex& index, const Version& version,
                           const std::stop_token& stop) {
        if (signaturesOthers != version.others) {
            signatures.clear();
            signaturesOthers = version.others;
        }
        QSet<qint64> cut;
        QByteArrayList notSigned;
        for (const SearchIndex::Entry& entry : index.entries) {
            if (entry.cut) {
                cut.insert(entry.id);
                if (!signatures.contains(entry.id)) {
                    notSigned.append(QByteArray::number(entry.id));
                }
            }
        }
        for (auto it = signatures.begin(); it != signatures.end();) {
            it = cut.contains(it.key()) ? std::next(it) : signatures.erase(it);
        }
        if (notSigned.isEmpty()) {
            return true;
        }
        const QByteArray sql =
            "SELECT id, value FROM clips WHERE id IN (" + notSigned.join(',') + ") AND id % 2 = ?1";
        using Signed = QList<std::pair<qint64, TextFolding::PairSignature>>;
        auto [even, odd] = inHalves([&](const SqliteDatabase& connection, int half) {
            Signed result;
            SqliteStatement statement = connection.prepare(sql);
            statement.bind(1, qint64(half));
            stepped(connection, statement, stop, [&] {
                result.append(
                    {statement.int64At(0), TextFolding::pairSignature(statement.utf8At(1))});
            });
            return result;
        });
        if (stop.stop_requested()) {
            return false;
        }
        even.append(odd);
        for (const auto& [id, signature] : std::as_const(even)) {
            signatures.insert(id, signature);
        }
        return true;
    }

    // The first `limit` rows (all for -1) whose value holds `needle`, found through the index;
    // nothing when the index cannot answer cheaply (too many matches to name them) or it stopped.
    // `within`: the rows a shorter needle found, all there is to look at.
    std::optional<QList<Clip>> searchedInMemory(const QString& needle, int limit,
                                                const Version& version, const QSet<qint64>* within,
                                                const std::stop_token& stop) {
        if (!indexCurrent(version, stop)) {
            return std::nullopt;
        }
        const QByteArray folded = needle.toUtf8();
        // In list order: found, or cut short and still to be read whole.
        std::vector<std::pair<qint64, bool>> candidates;
        qsizetype found = 0;
        qsizetype looked = 0;
        for (const SearchIndex::Entry& entry : searchIndex->entries) {
            if (limit >= 0 && found >= limit) {
                break;
            }
            if (++looked % 4096 == 0 && stop.stop_requested()) {
                return std::nullopt;
            }
            if (within != nullptr && !within->contains(entry.id)) {
                continue;
            }
            if (TextFolding::holdsFolded(entry.folded, folded)) {
                candidates.emplace_back(entry.id, true);
                ++found;
            } else if (entry.cut) {
                const auto signature = signatures.constFind(entry.id);
                if (signature == signatures.cend() || TextFolding::mayHold(*signature, folded)) {
                    candidates.emplace_back(entry.id, false);
                }
            }
        }
        if (qsizetype(candidates.size()) > kNarrowedMatches) {
            return std::nullopt;
        }
        QByteArrayList unread;
        for (const auto& [id, matched] : candidates) {
            if (!matched) {
                unread.append(QByteArray::number(id));
            }
        }
        QByteArrayList ids;
        if (!unread.isEmpty()) {
            const QSet<qint64> whole = matchingInHalves(unread.join(','), needle, stop);
            if (stop.stop_requested()) {
                return std::nullopt;
            }
            for (const auto& [id, matched] : candidates) {
                if (matched || whole.contains(id)) {
                    ids.append(QByteArray::number(id));
                }
            }
        } else {
            for (const auto& candidate : candidates) {
                ids.append(QByteArray::number(candidate.first));
            }
        }
        if (limit >= 0 && ids.size() > limit) {
            ids.resize(limit);
        }
        if (ids.isEmpty()) {
            return QList<Clip>();
        }
        return listed(
            database,
            QByteArray(kListingColumns) + "WHERE c.id IN (" + ids.join(',') + ")\n" + kListingOrder,
            needle, limit, std::nullopt, stop);
    }

    // Which of the rows `ids` (comma-separated) hold `needle` in their whole value: the odd ids on
    // the second connection, the even ones on this.
    QSet<qint64> matchingInHalves(const QByteArray& ids, const QString& needle,
                                  const std::stop_token& stop) {
        const QByteArray sql = "SELECT c.id FROM clips AS c WHERE c.id IN (" + ids +
                               ") AND c.id % 2 = ?2 AND contains_folded(c.value, ?1)";
        auto [even, odd] = inHalves([&](const SqliteDatabase& connection, int half) {
            QSet<qint64> result;
            SqliteStatement statement = connection.prepare(sql);
            statement.bind(1, needle);
            statement.bind(2, qint64(half));
            stepped(connection, statement, stop, [&] { result.insert(statement.int64At(0)); });
            return result;
        });
        return even.unite(odd);
    }

    void openSearchDatabase() {
        if (searchDatabase) {
            return;
        }
        searchDatabase =
            readOnly ? std::make_unique<SqliteDatabase>(databasePath, SqliteDatabase::ReadOnly{})
                     : std::make_unique<SqliteDatabase>(databasePath);
        searchDatabase->execute("PRAGMA query_only = ON;");
        if (!TextFolding::registerSqlFunctions(searchDatabase->handle())) {
            throw Error::sqlite(sqliteErrorMessage(searchDatabase->handle()));
        }
    }

    // A search through every value whole is most of what a keystroke costs: the rows with odd ids
    // are looked through on a second connection beside this one, and the two lists merged.
    QList<Clip> searchedInHalves(const QString& needle, int limit, const std::stop_token& stop) {
        const QByteArray sql =
            QByteArray(kListingColumns) +
            QByteArray(
                "WHERE CASE WHEN c.id % 2 = ?3 THEN contains_folded(c.value, ?1) ELSE 0 END\n") +
            kListingOrder;
        const auto [even, other] = inHalves([&](const SqliteDatabase& connection, int half) {
            return listed(connection, sql, needle, limit, half, stop);
        });
        QList<Clip> merged;
        merged.reserve(even.size() + other.size());
        std::merge(even.cbegin(), even.cend(), other.cbegin(), other.cend(),
                   std::back_inserter(merged), [](const Clip& a, const Clip& b) {
                       return a.pinned != b.pinned ? a.pinned : a.createdAt > b.createdAt;
                   });
        if (limit >= 0 && merged.size() > limit) {
            merged.resize(limit);
        }
        return merged;
    }

    std::optional<Version> currentVersion() const {
        SqliteStatement others = database.prepare("PRAGMA data_version");
        if (!others.step()) {
            return std::nullopt;
        }
        return Version{sqlite3_total_changes64(database.handle()), others.int64At(0)};
    }

    // The last search that was listed whole, and the ids of everything it found.
    struct LastSearch {
        QString needle;
        QByteArray ids;
        Version version;
        QSet<qint64> found;
    };
    std::optional<LastSearch> lastSearch;
    // The last list listed whole, for the history as it then was.
    struct WholeListing {
        QString needle;
        Version version;
        QList<Clip> clips;
    };
    std::optional<WholeListing> lastWhole;
    std::optional<SearchIndex> searchIndex;
    // For each row longer than its beginning, and the commits of others they were made under.
    QHash<qint64, TextFolding::PairSignature> signatures;
    qint64 signaturesOthers = -1;
    const QString databasePath;
    const bool readOnly = false;
    // Opened by the first search that reads every value.
    std::unique_ptr<SqliteDatabase> searchDatabase;

    SqliteDatabase database;
    // The database file as it was opened, and its log and index files as last seen beside it.
    const std::optional<FileIdentity> file;
    std::map<QString, std::optional<FileIdentity>> journals{{QStringLiteral("-wal"), {}},
                                                            {QStringLiteral("-shm"), {}}};
    // Deleted rows may still be readable in the write-ahead log.
    bool logHoldsDeleted = false;
};

const QString& HistoryStore::imageDirectory() const {
    return m_imageDirectory;
}

// A plain promise rather than QtConcurrent::run: a thread that blocks on a QtConcurrent future runs
// the task itself when it has not started yet, out of order and off the worker.
template <typename Operation>
auto HistoryStore::enqueue(Operation operation) {
    using Result = std::invoke_result_t<Operation&>;
    auto promise = std::make_shared<QPromise<Result>>();
    QFuture<Result> future = promise->future();
    promise->start();
    QMetaObject::invokeMethod(
        m_jobs.get(),
        [this, promise, operation = std::move(operation)]() mutable {
            try {
                followTheFile();
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
        },
        Qt::QueuedConnection);
    return future;
}

// A history that cannot be written (a read-only disk or file) is still read.
std::unique_ptr<HistoryStore::Isolated> HistoryStore::opened(const QString& databasePath,
                                                             const QString& imageDirectory) {
    try {
        return std::make_unique<Isolated>(databasePath, imageDirectory);
    } catch (const std::exception& error) {
        const std::exception_ptr writing = std::current_exception();
        if (!QFileInfo(databasePath).isFile()) {
            throw;
        }
        try {
            auto reading = std::make_unique<Isolated>(databasePath, imageDirectory,
                                                      SqliteDatabase::ReadOnly{});
            qCWarning(lcStore) << "the history cannot be written, only read:" << error.what();
            return reading;
        } catch (...) {
            // What kept it from being written says more than what kept it from being read.
            std::rethrow_exception(writing);
        }
    }
}

bool HistoryStore::readOnly() const {
    return m_readOnly;
}

void HistoryStore::setIsolated(std::unique_ptr<Isolated> isolated) {
    m_isolated = std::move(isolated);
    m_readOnly = m_isolated && m_isolated->isReadOnly();
}

// Posted before the write's future finishes, so heard before anyone awaiting it resumes.
void HistoryStore::announce(HistoryChange change) {
    const std::lock_guard lock(m_announcing);
    if (m_announcement) {
        m_announcement = std::max(*m_announcement, change);
        return;
    }
    m_announcement = change;
    QMetaObject::invokeMethod(
        this,
        [this] {
            std::optional<HistoryChange> heard;
            {
                const std::lock_guard lock(m_announcing);
                heard = std::exchange(m_announcement, std::nullopt);
            }
            if (heard) {
                emit changed(*heard);
            }
        },
        Qt::QueuedConnection);
}

void HistoryStore::followTheFile() {
    if (m_isolated && m_isolated->stillAtItsPath()) {
        return;
    }
    if (m_isolated) {
        const bool replaced = QFileInfo::exists(m_databasePath);
        qCWarning(lcStore).noquote()
            << "the history file" << m_databasePath << (replaced ? "was replaced" : "was deleted")
            << "while open: opened again";
        setIsolated(nullptr);
        if (onReopened) {
            onReopened(replaced ? QStringLiteral("El archivo del historial se ha sustituido; se "
                                                 "usa el que hay ahora")
                                : QStringLiteral("El archivo del historial se ha borrado; se "
                                                 "empieza uno nuevo"));
        }
    }
    setIsolated(opened(m_databasePath, m_imageDirectory));
    m_isolated->scrubSoon = [this] { scrubSoon(); };
}

HistoryStore::HistoryStore(const QString& databasePath, const QString& imageDirectory)
    : m_databasePath(databasePath),
      m_imageDirectory(absoluteClean(imageDirectory)),
      m_isolated(opened(databasePath, imageDirectory)),
      m_readOnly(m_isolated->isReadOnly()),
      m_jobs(std::make_unique<QObject>()),
      m_scrub(std::make_unique<QTimer>()) {
    m_scrub->setSingleShot(true);
    m_scrub->setInterval(kPrunedScrubDelay);
    QObject::connect(m_scrub.get(), &QTimer::timeout, m_jobs.get(),
                     [this] { enqueue([this] { m_isolated->scrubLog(); }); });
    m_jobs->moveToThread(&m_worker);
    m_scrub->moveToThread(&m_worker);
    m_isolated->scrubSoon = [this] { scrubSoon(); };
    m_worker.start();
}

// Worker only: the first request starts the delay, later ones join it.
void HistoryStore::scrubSoon() {
    if (!m_scrub->isActive()) {
        m_scrub->start();
    }
}

// Every job asked for runs first; a scrub still waiting for its delay is left to the close. The
// connection closes last, emptying its log into the database file.
HistoryStore::~HistoryStore() {
    QMetaObject::invokeMethod(
        m_jobs.get(),
        [this] {
            m_scrub->stop();
            m_worker.quit();
        },
        Qt::QueuedConnection);
    m_worker.wait();
}

// Captures are announced by the prune that follows them.
QFuture<qint64> HistoryStore::upsert(ClipKind kind, const QString& value,
                                     const std::optional<QString>& html,
                                     const std::optional<QString>& imagePath,
                                     const std::optional<QString>& source,
                                     const QDateTime& createdAt) {
    return enqueue([this, kind, value, html, imagePath, source, createdAt] {
        return m_isolated->upsert(kind, value, html, imagePath, source, createdAt);
    });
}

QFuture<qint64> HistoryStore::recordImage(const QByteArray& data,
                                          const std::optional<QString>& source,
                                          const QDateTime& createdAt) {
    return enqueue([this, data, source, createdAt] {
        return m_isolated->recordImage(data, source, createdAt);
    });
}

QFuture<void> HistoryStore::togglePinned(qint64 id) {
    return enqueue([this, id] {
        m_isolated->togglePinned(id);
        announce(HistoryChange::updated);
    });
}

QFuture<void> HistoryStore::deleteClip(qint64 id) {
    return enqueue([this, id] {
        m_isolated->deleteClip(id);
        announce(HistoryChange::removed);
    });
}

QFuture<void> HistoryStore::clearUnpinned() {
    return enqueue([this] {
        m_isolated->clearUnpinned();
        announce(HistoryChange::cleared);
    });
}

QFuture<void> HistoryStore::prune(int maxItems, int retentionDays) {
    return enqueue([this, maxItems, retentionDays] {
        m_isolated->prune(maxItems, retentionDays);
        announce(HistoryChange::updated);
    });
}

QFuture<QList<Clip>> HistoryStore::clips(const QString& matching) {
    return enqueue([this, matching] { return m_isolated->clips(matching); });
}

QFuture<QList<Clip>> HistoryStore::listing(const QString& matching, int limit,
                                           std::stop_token stop) {
    return enqueue([this, matching, limit, stop = std::move(stop)] {
        return m_isolated->listing(matching, limit, stop);
    });
}

QFuture<std::optional<Clip>> HistoryStore::clip(qint64 id) {
    return enqueue([this, id] { return m_isolated->clipWhere(kClipById, id); });
}

QFuture<int> HistoryStore::removeOrphanImages() {
    return enqueue([this] { return m_isolated->removeOrphanImages(); });
}

QFuture<void> HistoryStore::close() {
    return enqueue([this] { m_isolated->close(); });
}

}  // namespace orv
