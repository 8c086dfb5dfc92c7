#include "clipboard/ClipboardWriter.h"

#include "clipboard/FileUrlList.h"
#include "platform/MimeTypes.h"
#include "store/ClipIdentity.h"
#include "store/Error.h"

#include <QFile>
#include <QFileInfo>

#include <cmath>

namespace orv {

namespace ClipboardWriter {

namespace {

// Caja reads only its own name for the GNOME list.
PasteboardContents listOf(const QStringList& paths) {
    const QByteArray copied = FileUrlList::gnomeCopiedFiles(paths);
    return {{MimeTypes::uriList, FileUrlList::uriList(paths)},
            {MimeTypes::gnomeCopiedFiles, copied},
            {MimeTypes::mateCopiedFiles, copied}};
}

void addText(PasteboardContents& contents, const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    contents.insert(MimeTypes::plainText, utf8);
    contents.insert(MimeTypes::plainUtf8Text, utf8);
}

// The colour as four host-order 16-bit values, followed by its hex text.
PasteboardContents colorContents(const QString& value) {
    const auto rgba = ClipIdentity::parseHex(value);
    if (!rgba) {
        throw Error::missing(QStringLiteral("El color no es válido."));
    }
    const auto sixteen = [](double component) { return quint16(std::lround(component * 65535.0)); };
    PasteboardContents contents{
        {MimeTypes::color,
         MimeTypes::encodeColor(QRgba64::fromRgba64(sixteen(rgba->red), sixteen(rgba->green),
                                                    sixteen(rgba->blue), sixteen(rgba->alpha)))}};
    addText(contents, value);
    return contents;
}

PasteboardContents imageContents(const Clip& clip) {
    if (!clip.imagePath || !QFileInfo(*clip.imagePath).isFile()) {
        throw Error::missing(QStringLiteral("La imagen original ya no está disponible."));
    }
    QFile file(*clip.imagePath);
    if (!file.open(QIODevice::ReadOnly)) {
        throw Error::file(QStringLiteral("No se pudo leer la imagen «%1»: %2")
                              .arg(*clip.imagePath, file.errorString()));
    }
    return {{MimeTypes::png, file.readAll()}};
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
        throw Error::missing(QStringLiteral("No se encuentra: ") + absent.first());
    }
    if (absent.size() > 1) {
        throw Error::missing(QStringLiteral("No se encuentran: ") +
                             absent.join(QStringLiteral(", ")));
    }
    if (paths.isEmpty()) {
        return {};
    }
    return listOf(paths);
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
                text.insert(MimeTypes::html, clip.html->toUtf8());
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

PasteboardContents contents(const CapturedClip& clip) {
    if (const auto* text = std::get_if<CapturedClip::Text>(&clip.payload)) {
        Clip stored;
        stored.value = text->text;
        stored.html = text->html;
        return contents(stored);
    }
    if (const auto* image = std::get_if<CapturedClip::Image>(&clip.payload)) {
        return {{MimeTypes::png, image->png}};
    }
    if (const auto* color = std::get_if<CapturedClip::Color>(&clip.payload)) {
        return colorContents(color->hex);
    }
    return listOf(std::get<CapturedClip::Files>(clip.payload).paths);
}

void write(const CapturedClip& clip, Pasteboard& pasteboard) {
    pasteboard.write(contents(clip));
}

}  // namespace ClipboardWriter

}  // namespace orv
