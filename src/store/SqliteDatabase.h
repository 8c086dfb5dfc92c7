#pragma once

#include "store/SqliteStatement.h"

#include <QByteArray>
#include <QString>

struct sqlite3;

namespace orv {

// One SQLite connection, closed when it goes out of scope.
class SqliteDatabase {
public:
    // How long a statement waits for a lock that another process holds before it fails with
    // "database is locked".
    static constexpr int busyTimeoutMs = 5000;

    // Opens read-write, creating the file, waiting for locks as above. Without SQLite's own
    // locking on every call: one thread at a time uses a connection (the store's worker). Raises
    // Error::open with SQLite's message, or "No se pudo abrir la base de datos" when no
    // connection came back.
    explicit SqliteDatabase(const QString& path);
    struct ReadOnly {};
    // Reads only, creating nothing: on a read-only disk, where the log's index cannot be made,
    // the file is read as one that nothing changes. Raises Error::open.
    SqliteDatabase(const QString& path, ReadOnly);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    sqlite3* handle() const { return m_db; }
    bool isOpen() const { return m_db != nullptr; }

    SqliteStatement prepare(const QByteArray& sql) const { return SqliteStatement(m_db, sql); }
    // Runs a script without results; raises Error::sqlite with SQLite's text on failure.
    void execute(const QByteArray& script) const;
    // Rows changed by the latest INSERT, UPDATE or DELETE.
    qint64 changes() const;
    // Copies the write-ahead log into the database file and empties the log. False when it could
    // not finish (a reader held on past the busy timeout, or the connection is closed).
    bool checkpoint() const;
    void close();

private:
    sqlite3* m_db = nullptr;
};

}  // namespace orv
