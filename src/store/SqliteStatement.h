#pragma once

#include <QByteArrayView>
#include <QString>

#include <optional>

struct sqlite3;
struct sqlite3_stmt;

namespace orv {

// One compiled statement, finalized when it goes out of scope. Errors raise Error with the
// connection's message, read before the statement is finalized.
class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, const QByteArray& sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    // Text is bound with its explicit length, so values holding NUL characters survive whole.
    // An absent value binds NULL.
    void bind(int index, const std::optional<QString>& text);
    void bind(int index, qint64 number);

    // True while a row is available; false once the statement is done.
    bool step();
    // Steps a statement that changes data; anything but done is an error.
    void run();

    qint64 int64At(int column) const;
    std::optional<QString> textAt(int column) const;
    // The column's UTF-8 bytes as stored, valid until the next step.
    QByteArrayView utf8At(int column) const;

private:
    [[noreturn]] void fail() const;

    sqlite3* m_db;
    sqlite3_stmt* m_stmt = nullptr;
};

// The connection's current message, or "Error de SQLite" when it has none.
QString sqliteErrorMessage(sqlite3* db);

}  // namespace orv
