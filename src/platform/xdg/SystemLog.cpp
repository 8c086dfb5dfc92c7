#include "platform/xdg/SystemLog.h"

#include <syslog.h>
#include <cstdio>

namespace orv {

namespace SystemLog {

void write(const QString& line) {
    const QByteArray utf8 = line.toUtf8();
    openlog("orvantide", LOG_PID, LOG_USER);
    syslog(LOG_WARNING, "%s", utf8.constData());
    closelog();
    std::fprintf(stderr, "%s\n", utf8.constData());
    std::fflush(stderr);
}

}  // namespace SystemLog

}  // namespace orv
