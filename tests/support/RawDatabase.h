#pragma once

#include <QByteArray>
#include <QString>

#include <string>

struct sqlite3;

namespace orv {

// Direct access to a history database file, as another program (or an older build) would have
// left it.
namespace RawDatabase {

// Runs a script; fails the current test on error.
void execute(const QString& path, const QString& script);
// The file exists and holds the table: a program creating the file is done with it. Never fails.
bool hasTable(const QString& path, const QString& table);
// The first column of the first row, as text.
QString scalar(const QString& path, const QString& query);
// The files under a folder (links to folders not followed) that hold `bytes`, one a line: what a
// look at the disk finds of a text.
std::string filesHolding(const QString& folder, const QByteArray& bytes);

// Another program in the middle of a transaction on the file: `begin` ("BEGIN EXCLUSIVE",
// "BEGIN IMMEDIATE", followed by any statements) runs at once and its locks are held until
// release() (from any thread) or the end of scope.
class HeldLock {
public:
    HeldLock(const QString& path, const QString& begin);
    ~HeldLock();
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    void release();

private:
    sqlite3* m_db = nullptr;
};

}  // namespace RawDatabase

}  // namespace orv
