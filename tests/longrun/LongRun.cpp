#include "LongRun.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QThread>

#include <sqlite3.h>

namespace orv {

namespace LongRun {

QProcess* launch(const QString& program) {
    auto* process = new QProcess;
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(program);
    process->waitForStarted(5000);
    return process;
}

void copy(const QByteArray& data, const QString& type) {
    QProcess xclip;
    xclip.start("xclip", {"-selection", "clipboard", "-t", type, "-i"});
    xclip.waitForStarted(5000);
    xclip.write(data);
    xclip.closeWriteChannel();
    xclip.waitForFinished(5000);
}

QString database() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/com.quarnelbrisk.orvantide/history.db";
}

QString imageFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           "/com.quarnelbrisk.orvantide/images";
}

QString query(const QString& sql) {
    sqlite3* db = nullptr;
    QString result;
    if (sqlite3_open_v2(QFile::encodeName(database()).constData(), &db, SQLITE_OPEN_READONLY,
                        nullptr) == SQLITE_OK) {
        sqlite3_busy_timeout(db, 2000);
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &statement, nullptr) ==
                SQLITE_OK &&
            sqlite3_step(statement) == SQLITE_ROW) {
            result =
                QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close(db);
    return result;
}

qint64 residentKb(qint64 pid) {
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) {
        return -1;
    }
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) {
            return line.mid(6).trimmed().split(' ').first().toLongLong();
        }
    }
    return -1;
}

QByteArray picture(int width, int height, int seed) {
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random{quint32(seed)};
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            line[x] = qRgb((x + seed) & 0xFF, (y * 3) & 0xFF, int(random.bounded(256)));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace LongRun

}  // namespace orv
