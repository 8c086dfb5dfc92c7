#include "store/SqliteDatabase.h"

#include "store/Error.h"

#include <QFile>
#include <QUrl>

#include <sqlite3.h>

namespace orv {

SqliteDatabase::SqliteDatabase(const QString& path) {
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX;
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(path).constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK || db == nullptr) {
        QString message = QStringLiteral("No se pudo abrir la base de datos");
        if (db != nullptr) {
            if (const char* text = sqlite3_errmsg(db); text != nullptr && *text != '\0') {
                message = QString::fromUtf8(text);
            }
            sqlite3_close_v2(db);
        }
        throw Error::open(message);
    }
    // Before the first statement, so that even opening waits for another process's lock.
    sqlite3_busy_timeout(db, busyTimeoutMs);
    m_db = db;
}

SqliteDatabase::SqliteDatabase(const QString& path, ReadOnly) {
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    for (const char* query : {"?mode=ro", "?immutable=1"}) {
        sqlite3* db = nullptr;
        const int rc =
            sqlite3_open_v2((uri + query).constData(), &db,
                            SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
        if (rc == SQLITE_OK && db != nullptr) {
            sqlite3_busy_timeout(db, busyTimeoutMs);
            // The first read tells whether the file can be read this way.
            if (sqlite3_exec(db, "SELECT count(*) FROM clips", nullptr, nullptr, nullptr) ==
                SQLITE_OK) {
                m_db = db;
                return;
            }
        }
        sqlite3_close_v2(db);
    }
    throw Error::open(QStringLiteral("No se pudo leer la base de datos"));
}

SqliteDatabase::~SqliteDatabase() {
    close();
}

void SqliteDatabase::execute(const QByteArray& script) const {
    if (m_db == nullptr) {
        throw Error::sqlite(sqliteErrorMessage(nullptr));
    }
    char* error = nullptr;
    if (sqlite3_exec(m_db, script.constData(), nullptr, nullptr, &error) != SQLITE_OK) {
        QString message = QStringLiteral("Error de SQLite");
        if (error != nullptr && *error != '\0') {
            message = QString::fromUtf8(error);
        }
        sqlite3_free(error);
        throw Error::sqlite(message);
    }
}

qint64 SqliteDatabase::changes() const {
    return m_db == nullptr ? 0 : sqlite3_changes64(m_db);
}

bool SqliteDatabase::checkpoint() const {
    return m_db != nullptr && sqlite3_wal_checkpoint_v2(m_db, nullptr, SQLITE_CHECKPOINT_TRUNCATE,
                                                        nullptr, nullptr) == SQLITE_OK;
}

void SqliteDatabase::close() {
    if (m_db != nullptr) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

}  // namespace orv
