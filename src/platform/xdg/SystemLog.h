#pragma once

#include <QString>

namespace orv {

// The system log (syslog, ident "orvantide"; journald keeps it), echoed to standard error.
namespace SystemLog {
void write(const QString& line);
}

}  // namespace orv
