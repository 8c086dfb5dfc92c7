#include "support/RawDatabase.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace RawDatabase {

namespace {

struct Connection {
    explicit Connection(const QString& path) {
        EXPECT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &db), SQLITE_OK);
    }
    ~Connection() { sqlite3_close(db); }
    sqlite3* db = nullptr;
};

}  // namespace

void execute(const QString& path, const QString& script) {
    Connection connection(path);
    char* error = nullptr;
    const int rc =
        sqlite3_exec(connection.db, script.toUtf8().constData(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
}

QString scalar(const QString& path, const QString& query) {
    Connection connection(path);
    sqlite3_stmt* statement = nullptr;
    EXPECT_EQ(
        sqlite3_prepare_v2(connection.db, query.toUtf8().constData(), -1, &statement, nullptr),
        SQLITE_OK);
    QString result;
    if (sqlite3_step(statement) == SQLITE_ROW) {
        result =
            QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
    }
    sqlite3_finalize(statement);
    return result;
}

}  // namespace RawDatabase
