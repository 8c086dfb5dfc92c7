#include "clipboard/FileUrlList.h"

#include <QUrl>

namespace orv {

namespace FileUrlList {

namespace {

// Linux reads "//tmp/x" as "/tmp/x", but a URL made from it would take "tmp" for a host name.
QString withOneLeadingSlash(const QString& path) {
    qsizetype slashes = 0;
    while (slashes < path.size() && path.at(slashes) == u'/') {
        ++slashes;
    }
    return slashes > 1 ? path.sliced(slashes - 1) : path;
}

std::optional<QString> localPath(QByteArrayView line) {
    const QUrl url = QUrl::fromEncoded(line.trimmed().toByteArray(), QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile()) {
        return std::nullopt;
    }
    // file://otherhost/… names a file on another machine.
    if (!url.host().isEmpty() && url.host() != u"localhost") {
        return std::nullopt;
    }
    const QString path = url.path(QUrl::FullyDecoded);
    // A files clip keeps its paths one a line, so a name with a line feed cannot be kept whole.
    if (!path.startsWith(u'/') || path.contains(u'\n')) {
        return std::nullopt;
    }
    return withOneLeadingSlash(path);
}

QStringList paths(const QList<QByteArrayView>& lines) {
    QStringList result;
    for (QByteArrayView line : lines) {
        if (line.trimmed().isEmpty() || line.startsWith('#')) {
            continue;
        }
        if (auto path = localPath(line)) {
            result.append(*path);
        }
    }
    return result;
}

QList<QByteArrayView> lines(const QByteArray& text) {
    QList<QByteArrayView> result;
    QByteArrayView rest(text);
    // pcmanfm ends its lists with a NUL, as if they were C strings.
    while (rest.endsWith('\0')) {
        rest.chop(1);
    }
    while (!rest.isEmpty()) {
        const qsizetype end = rest.indexOf('\n');
        QByteArrayView line = end < 0 ? rest : rest.first(end);
        if (line.endsWith('\r')) {
            line.chop(1);
        }
        result.append(line);
        rest = end < 0 ? QByteArrayView() : rest.sliced(end + 1);
    }
    return result;
}

QByteArrayList encoded(const QStringList& paths) {
    QByteArrayList urls;
    for (const QString& path : paths) {
        urls.append(QUrl::fromLocalFile(withOneLeadingSlash(path)).toEncoded());
    }
    return urls;
}

}  // namespace

QStringList pathsFromUriList(const QByteArray& list) {
    return paths(lines(list));
}

QStringList pathsFromGnomeCopiedFiles(const QByteArray& list) {
    QList<QByteArrayView> all = lines(list);
    if (all.isEmpty() || (all.first() != "copy" && all.first() != "cut")) {
        return {};
    }
    all.removeFirst();
    return paths(all);
}

QByteArray uriList(const QStringList& paths) {
    QByteArray list;
    for (const QByteArray& url : encoded(paths)) {
        list += url + "\r\n";
    }
    return list;
}

QByteArray gnomeCopiedFiles(const QStringList& paths) {
    return "copy\n" + encoded(paths).join('\n');
}

}  // namespace FileUrlList

}  // namespace orv
