#pragma once

#include "store/SqliteStatement.h"

#include <QByteArray>
#include <QString>

struct sqlite3;

// One SQLite connection, closed when it goes out of scope.
class SqliteDatabase {
public:
    // Opens read-write, creating the file, in serialized mode. Raises StoreError::open with
    // SQLite's message, or "No se pudo abrir la base de datos" when no connection came back.
    explicit SqliteDatabase(const QString& path);
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    sqlite3* handle() const { return m_db; }
    bool isOpen() const { return m_db != nullptr; }

    SqliteStatement prepare(const QByteArray& sql) const { return SqliteStatement(m_db, sql); }
    // Runs a script without results; raises StoreError::sqlite with SQLite's text on failure.
    void execute(const QByteArray& script) const;
    void close();

private:
    sqlite3* m_db = nullptr;
};
