#pragma once

#include <QString>

// Direct access to a history database file, as another program (or an older build) would have
// left it.
namespace RawDatabase {

// Runs a script; fails the current test on error.
void execute(const QString& path, const QString& script);
// The first column of the first row, as text.
QString scalar(const QString& path, const QString& query);

}  // namespace RawDatabase
