#pragma once

#include <QMessageBox>
#include <QString>

#include <exception>
#include <memory>

namespace orv {

// The alert that ends a launch whose history cannot be opened: what happened and what to do, in
// Spanish; SQLite's or the system's own words, which are English, as its details.
namespace LaunchAlert {

// `databasePath` is where the history was being opened; empty when its folder failed first.
std::unique_ptr<QMessageBox> create(const std::exception& error, const QString& databasePath);

}  // namespace LaunchAlert

}  // namespace orv
