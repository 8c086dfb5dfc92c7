#include "support/RawDatabase.h"

#include <QDirIterator>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>
#include <sqlite3.h>

namespace orv {

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

bool hasTable(const QString& path, const QString& table) {
    sqlite3* db = nullptr;
    sqlite3_stmt* statement = nullptr;
    const bool ready = sqlite3_open_v2(QFile::encodeName(path).constData(), &db,
                                       SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK &&
                       sqlite3_prepare_v2(db, ("SELECT 1 FROM " + table).toUtf8().constData(), -1,
                                          &statement, nullptr) == SQLITE_OK;
    sqlite3_finalize(statement);
    sqlite3_close(db);
    return ready;
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

std::string filesHolding(const QString& folder, const QByteArray& bytes) {
    QStringList holding;
    QDirIterator files(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        if (file.open(QIODevice::ReadOnly) && file.readAll().contains(bytes)) {
            holding.append(file.fileName());
        }
    }
    return holding.join(u'\n').toStdString();
}

HeldLock::HeldLock(const QString& path, const QString& begin) {
    EXPECT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &m_db), SQLITE_OK);
    char* error = nullptr;
    EXPECT_EQ(sqlite3_exec(m_db, begin.toUtf8().constData(), nullptr, nullptr, &error), SQLITE_OK)
        << (error ? error : "");
    sqlite3_free(error);
}

HeldLock::~HeldLock() {
    release();
}

void HeldLock::release() {
    if (m_db != nullptr) {
        sqlite3_exec(m_db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(m_db);
        m_db = nullptr;
    }
}

}  // namespace RawDatabase

}  // namespace orv
