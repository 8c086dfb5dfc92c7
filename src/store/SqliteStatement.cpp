#include "store/SqliteStatement.h"

#include "store/Error.h"

#include <sqlite3.h>

namespace orv {

QString sqliteErrorMessage(sqlite3* db) {
    if (db != nullptr && sqlite3_errcode(db) != SQLITE_OK) {
        if (const char* message = sqlite3_errmsg(db); message != nullptr && *message != '\0') {
            return QString::fromUtf8(message);
        }
    }
    return QStringLiteral("Error de SQLite");
}

SqliteStatement::SqliteStatement(sqlite3* db, const QByteArray& sql) : m_db(db) {
    if (db == nullptr) {
        throw Error::sqlite(sqliteErrorMessage(nullptr));
    }
    if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()) + 1, &m_stmt, nullptr) !=
        SQLITE_OK) {
        const QString message = sqliteErrorMessage(db);
        sqlite3_finalize(m_stmt);
        throw Error::sqlite(message);
    }
}

SqliteStatement::~SqliteStatement() {
    sqlite3_finalize(m_stmt);
}

void SqliteStatement::fail() const {
    throw Error::sqlite(sqliteErrorMessage(m_db));
}

void SqliteStatement::bind(int index, const std::optional<QString>& text) {
    int rc = SQLITE_OK;
    if (text) {
        const QByteArray utf8 = text->toUtf8();
        rc = sqlite3_bind_text64(m_stmt, index, utf8.constData(), sqlite3_uint64(utf8.size()),
                                 SQLITE_TRANSIENT, SQLITE_UTF8);
    } else {
        rc = sqlite3_bind_null(m_stmt, index);
    }
    if (rc != SQLITE_OK) {
        fail();
    }
}

void SqliteStatement::bind(int index, qint64 number) {
    if (sqlite3_bind_int64(m_stmt, index, number) != SQLITE_OK) {
        fail();
    }
}

bool SqliteStatement::step() {
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc == SQLITE_DONE) {
        return false;
    }
    fail();
}

void SqliteStatement::run() {
    if (sqlite3_step(m_stmt) != SQLITE_DONE) {
        fail();
    }
}

qint64 SqliteStatement::int64At(int column) const {
    return sqlite3_column_int64(m_stmt, column);
}

std::optional<QString> SqliteStatement::textAt(int column) const {
    if (sqlite3_column_type(m_stmt, column) == SQLITE_NULL) {
        return std::nullopt;
    }
    // Text first, then its length in bytes: the order SQLite documents for a stable pointer.
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    const int bytes = sqlite3_column_bytes(m_stmt, column);
    return QString::fromUtf8(text, bytes);
}

QByteArrayView SqliteStatement::utf8At(int column) const {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column));
    return text ? QByteArrayView(text, sqlite3_column_bytes(m_stmt, column)) : QByteArrayView();
}

}  // namespace orv
