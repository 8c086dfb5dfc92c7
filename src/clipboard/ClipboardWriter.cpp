#include "clipboard/ClipboardWriter.h"

#include "clipboard/FileUrlList.h"
#include "clipboard/WriteError.h"
#include "store/ClipIdentity.h"
#include "store/FileError.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>

#include <cmath>

namespace ClipboardWriter {

namespace {

const QString kPlain = QStringLiteral("text/plain");
const QString kPlainUtf8 = QStringLiteral("text/plain;charset=utf-8");

void addText(PasteboardContents& contents, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    contents.insert(kPlain, utf8);
    contents.insert(kPlainUtf8, utf8);
}

// The colour as four host-order 16-bit values, followed by its hex text.
PasteboardContents colorContents(const QString& value) {
    const auto rgba = ClipIdentity::parseHex(value);
    if (!rgba) {
        throw WriteError::missing(QStringLiteral("El color no es válido."));
    }
    QByteArray color(8, '\0');
    const double components[] = {rgba->red, rgba->green, rgba->blue, rgba->alpha};
    for (int i = 0; i < 4; ++i) {
        qToUnaligned(quint16(std::lround(components[i] * 65535.0)), color.data() + 2 * i);
    }
    PasteboardContents contents{{QStringLiteral("application/x-color"), color}};
    addText(contents, value);
    return contents;
}

PasteboardContents imageContents(const Clip& clip) {
    if (!clip.imagePath || !QFileInfo(*clip.imagePath).isFile()) {
        throw WriteError::missing(QStringLiteral("La imagen original ya no está disponible."));
    }
    QFile file(*clip.imagePath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Error::file(QStringLiteral("No se pudo leer la imagen «%1»: %2")
                                  .arg(*clip.imagePath, file.errorString()));
    }
    return {{QStringLiteral("image/png"), file.readAll()}};
}

PasteboardContents filesContents(const Clip& clip) {
    const QStringList paths = clip.filePaths();
    QStringList absent;
    for (const QString& path : paths) {
        if (!QFileInfo::exists(path)) {
            absent.append(lastPathComponent(path));
        }
    }
    if (absent.size() == 1) {
        throw WriteError::missing(QStringLiteral("No se encuentra: ") + absent.first());
    }
    if (absent.size() > 1) {
        throw WriteError::missing(QStringLiteral("No se encuentran: ") +
                                  absent.join(QStringLiteral(", ")));
    }
    if (paths.isEmpty()) {
        return {};
    }
    return {{FileUrlList::uriListType, FileUrlList::uriList(paths)},
            {FileUrlList::gnomeCopiedFilesType, FileUrlList::gnomeCopiedFiles(paths)}};
}

}  // namespace

PasteboardContents contents(const Clip& clip) {
    switch (clip.kind) {
        case ClipKind::text: {
            if (clip.effectiveKind() == ClipKind::color) {
                return colorContents(clip.value);
            }
            PasteboardContents text;
            addText(text, clip.value);
            if (clip.html) {
                text.insert(QStringLiteral("text/html"), clip.html->toUtf8());
            }
            return text;
        }
        case ClipKind::image:
            return imageContents(clip);
        case ClipKind::color:
            return colorContents(clip.value);
        case ClipKind::files:
            return filesContents(clip);
    }
    return {};
}

void write(const Clip& clip, Pasteboard& pasteboard) {
    pasteboard.write(contents(clip));
}

}  // namespace ClipboardWriter
