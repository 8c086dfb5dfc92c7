#pragma once

#include <QString>

struct sqlite3;

namespace orv {

// Search folding: one Unicode-aware lower-casing for the search text and for stored values, so
// "árbol" finds "ÁRBOL".
namespace TextFolding {

// The search text as the list statement compares it.
QString searchFolded(const QString& text);

// Replaces the connection's lower() and instr() with Unicode-aware and faster ones of the same
// meaning, so the list statement keeps its text. False when SQLite refuses them.
bool registerSqlFunctions(sqlite3* database);

}  // namespace TextFolding

}  // namespace orv
