#pragma once

// What each fuzz target does with one input, shared with the regression tests that replay the
// inputs the fuzzers once crashed on (tests/regressions/). Besides running the code under the
// sanitizers, each entry checks properties that must hold for any input; a broken one goes to
// FuzzCheck::onBroken, which aborts in a fuzzer and fails the test in the regression program.

#include "clipboard/ClipboardReader.h"
#include "clipboard/FileUrlList.h"
#include "model/PreferencesStore.h"
#include "platform/MimeTypes.h"
#include "platform/fakes/FakeLoginItemService.h"
#include "platform/fakes/FakeWorkspace.h"
#include "platform/fakes/InMemoryPasteboard.h"
#include "platform/xdg/JsonFileUserDefaults.h"
#include "store/Clip.h"
#include "store/ClipIdentity.h"
#include "store/ImageThumbnail.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <variant>

namespace orv {

namespace FuzzCheck {

inline void abortOnBroken(const char* property, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, property);
    std::abort();
}

inline void (*onBroken)(const char* property, const char* file, int line) = &abortOnBroken;

}  // namespace FuzzCheck

#define ORV_FUZZ_EXPECT(condition)                                      \
    do {                                                                \
        if (!(condition)) {                                             \
            ::orv::FuzzCheck::onBroken(#condition, __FILE__, __LINE__); \
        }                                                               \
    } while (false)

namespace FuzzEntries {

// Image plugins and fonts want an application object; fuzzers have no main of their own.
inline void ensureGuiApplication() {
    if (QCoreApplication::instance()) {
        return;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "orvantide-fuzz";
    static char* argv[] = {name, nullptr};
    static QGuiApplication* app = new QGuiApplication(argc, argv);
    (void)app;
}

// ---- hex colours ------------------------------------------------------------------------------

inline void checkHex(const QString& text) {
    const auto rgba = ClipIdentity::parseHex(text);
    if (!rgba) {
        return;
    }
    const QString trimmed = text.trimmed();
    ORV_FUZZ_EXPECT(trimmed.startsWith(u'#'));
    ORV_FUZZ_EXPECT(trimmed.size() == 4 || trimmed.size() == 5 || trimmed.size() == 7 ||
                    trimmed.size() == 9);
    int bytes[4] = {};
    const double components[4] = {rgba->red, rgba->green, rgba->blue, rgba->alpha};
    for (int i = 0; i < 4; ++i) {
        ORV_FUZZ_EXPECT(components[i] >= 0 && components[i] <= 1);
        bytes[i] = int(components[i] * 255 + 0.5);
        ORV_FUZZ_EXPECT(bytes[i] / 255.0 == components[i]);
    }
    // Written out in full it reads back the same, in either case.
    const QString full =
        QString::asprintf("#%02x%02x%02x%02x", bytes[0], bytes[1], bytes[2], bytes[3]);
    ORV_FUZZ_EXPECT(ClipIdentity::parseHex(full) == rgba);
    ORV_FUZZ_EXPECT(ClipIdentity::parseHex(full.toUpper()) == rgba);
    ORV_FUZZ_EXPECT(ClipIdentity::parseHex(text.toLower()) == rgba);
}

inline void hexColor(QByteArrayView input) {
    checkHex(QString::fromUtf8(input));
    // The same bytes as UTF-16 code units reach lone surrogates and other non-Latin units.
    QString units(input.size() / 2, Qt::Uninitialized);
    std::memcpy(static_cast<void*>(units.data()), input.data(), size_t(units.size()) * 2);
    checkHex(units);
}

// ---- clip values ------------------------------------------------------------------------------

// First byte: the kind; the rest: the value. The same bytes also make an image key whose size
// must read back.
inline void clipValue(QByteArrayView input) {
    if (input.isEmpty()) {
        return;
    }
    Clip clip;
    clip.kind = ClipKind(static_cast<unsigned char>(input.front()) % 4);
    clip.value = QString::fromUtf8(input.sliced(1));

    const QString title = clip.listTitle();
    const auto size = clip.pixelSize();
    const QStringList paths = clip.filePaths();
    const ClipKind effective = clip.effectiveKind();
    if (size) {
        ORV_FUZZ_EXPECT(size->width() > 0 && size->height() > 0);
    }
    for (const QString& path : paths) {
        ORV_FUZZ_EXPECT(!path.isEmpty() && !path.contains(u'\n'));
    }
    switch (clip.kind) {
        case ClipKind::text:
            ORV_FUZZ_EXPECT(clip.value.startsWith(title));
            ORV_FUZZ_EXPECT(effective == ClipKind::text || effective == ClipKind::color);
            break;
        case ClipKind::image:
            ORV_FUZZ_EXPECT(title.startsWith(QStringLiteral("Imagen")));
            break;
        case ClipKind::color:
            ORV_FUZZ_EXPECT(title == clip.value);
            break;
        case ClipKind::files:
            ORV_FUZZ_EXPECT(!title.isEmpty());
            break;
    }
    if (clip.kind != ClipKind::text) {
        ORV_FUZZ_EXPECT(effective == clip.kind);
    }

    if (input.size() >= 9) {
        qint32 width = 0;
        qint32 height = 0;
        std::memcpy(&width, input.data() + 1, 4);
        std::memcpy(&height, input.data() + 5, 4);
        const QByteArray data = input.sliced(9).toByteArray();
        Clip image;
        image.kind = ClipKind::image;
        image.value = ClipIdentity::imageValue(data, width, height);
        ORV_FUZZ_EXPECT(image.value.startsWith(QStringLiteral("image:")));
        ORV_FUZZ_EXPECT(image.value.endsWith(u':' + QString::number(data.size())));
        const auto recorded = image.pixelSize();
        if (width > 0 && height > 0) {
            ORV_FUZZ_EXPECT(recorded == QSize(width, height));
        } else {
            ORV_FUZZ_EXPECT(!recorded);
        }
        ORV_FUZZ_EXPECT(image.value == ClipIdentity::imageValue(data, width, height));
    }
}

// ---- images -----------------------------------------------------------------------------------

inline constexpr double kThumbnailSide = 360;

inline void imageThumbnail(QByteArrayView input) {
    const QByteArray data = input.toByteArray();
    if (const auto size = ImageThumbnail::dimensions(data)) {
        ORV_FUZZ_EXPECT(size->isValid());
    }
    const auto png = ImageThumbnail::png(data, kThumbnailSide);
    if (!png) {
        return;
    }
    const QImage thumbnail = QImage::fromData(*png, "PNG");
    ORV_FUZZ_EXPECT(!thumbnail.isNull());
    ORV_FUZZ_EXPECT(std::max(thumbnail.width(), thumbnail.height()) <= kThumbnailSide);
}

// ---- file URL lists ---------------------------------------------------------------------------

inline void checkPaths(const QStringList& paths) {
    for (const QString& path : paths) {
        ORV_FUZZ_EXPECT(path.startsWith(u'/'));
    }
    // What was read writes back to the same paths.
    ORV_FUZZ_EXPECT(FileUrlList::pathsFromUriList(FileUrlList::uriList(paths)) == paths);
    ORV_FUZZ_EXPECT(FileUrlList::pathsFromGnomeCopiedFiles(FileUrlList::gnomeCopiedFiles(paths)) ==
                    paths);
}

inline void fileUrlList(QByteArrayView input) {
    const QByteArray data = input.toByteArray();
    checkPaths(FileUrlList::pathsFromUriList(data));
    checkPaths(FileUrlList::pathsFromGnomeCopiedFiles(data));
}

// ---- the clipboard reader ---------------------------------------------------------------------

// The input is records separated by "\n%%\n"; each is a MIME type line, then the bytes offered for
// it. A type line that names none of the types below picks one by its first byte, so that mutated
// inputs keep reaching the reader's branches. The type line "frontmost" sets the active
// application's name instead (empty: none is active).
inline const QStringList& offeredTypes() {
    static const QStringList types{
        MimeTypes::uriList,
        MimeTypes::gnomeCopiedFiles,
        QStringLiteral("image/png"),
        QStringLiteral("image/tiff"),
        QStringLiteral("application/x-color"),
        QStringLiteral("text/plain"),
        QStringLiteral("text/plain;charset=utf-8"),
        QStringLiteral("text/html"),
        Pasteboard::concealedType,
        Pasteboard::transientType,
        Pasteboard::autoGeneratedType,
        MimeTypes::passwordManagerHint,
    };
    return types;
}

inline void clipboardReader(QByteArrayView input) {
    PasteboardContents contents;
    FakeWorkspace workspace;
    QByteArrayView rest = input;
    while (true) {
        const qsizetype end = rest.indexOf(QByteArrayView("\n%%\n"));
        const QByteArrayView record = end < 0 ? rest : rest.first(end);
        const qsizetype lineEnd = record.indexOf('\n');
        const QByteArrayView typeLine = lineEnd < 0 ? record : record.first(lineEnd);
        const QByteArrayView value = lineEnd < 0 ? QByteArrayView() : record.sliced(lineEnd + 1);
        const QString type = QString::fromUtf8(typeLine);
        if (type == u"frontmost") {
            workspace.frontmost =
                value.isEmpty()
                    ? std::nullopt
                    : std::optional(FakeWorkspace::application(QString::fromUtf8(value)));
        } else if (offeredTypes().contains(type)) {
            contents.insert(type, value.toByteArray());
        } else {
            const int index = typeLine.isEmpty() ? 0 : static_cast<unsigned char>(typeLine.front());
            contents.insert(offeredTypes().at(index % offeredTypes().size()), value.toByteArray());
        }
        if (end < 0) {
            break;
        }
        rest = rest.sliced(end + 4);
    }
    InMemoryPasteboard pasteboard;
    pasteboard.copy(contents);

    const auto clip = ClipboardReader::read(pasteboard, workspace);
    const QStringList types = pasteboard.types();
    const bool blocked = types.contains(Pasteboard::concealedType) ||
                         types.contains(Pasteboard::transientType) ||
                         types.contains(Pasteboard::autoGeneratedType);
    if (blocked) {
        ORV_FUZZ_EXPECT(!clip);
    }
    if (!clip) {
        return;
    }
    // A copy made while our own window is in front has no source.
    const bool frontmostIsUs = workspace.frontmost && workspace.frontmost->bundleIdentifier ==
                                                          Workspace::ownBundleIdentifier;
    ORV_FUZZ_EXPECT(clip->source == (workspace.frontmost && !frontmostIsUs
                                         ? workspace.frontmost->localizedName
                                         : std::nullopt));
    if (const auto* files = std::get_if<CapturedClip::Files>(&clip->payload)) {
        ORV_FUZZ_EXPECT(!files->paths.isEmpty());
        for (const QString& path : files->paths) {
            ORV_FUZZ_EXPECT(path.startsWith(u'/'));
        }
    } else if (const auto* image = std::get_if<CapturedClip::Image>(&clip->payload)) {
        ORV_FUZZ_EXPECT(!image->png.isEmpty());
    } else if (const auto* color = std::get_if<CapturedClip::Color>(&clip->payload)) {
        static const QRegularExpression hex(QStringLiteral("^#[0-9A-F]{6}([0-9A-F]{2})?$"));
        ORV_FUZZ_EXPECT(hex.match(color->hex).hasMatch());
        ORV_FUZZ_EXPECT(ClipIdentity::parseHex(color->hex).has_value());
    } else if (const auto* text = std::get_if<CapturedClip::Text>(&clip->payload)) {
        ORV_FUZZ_EXPECT(!text->text.isEmpty());
        ORV_FUZZ_EXPECT(!text->text.front().isSpace());
    }
}

// ---- the settings file ------------------------------------------------------------------------

inline void userDefaults(QByteArrayView input) {
    static QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("defaults.json"));
    const QString aside = path + QStringLiteral(".corrupt");
    QFile::remove(aside);
    {
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(input.data(), input.size()) != input.size()) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
            std::abort();
        }
    }
    const auto fileBytes = [](const QString& name) {
        QFile file(name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    };

    JsonFileUserDefaults defaults(path);
    for (const char* key : {"maxItems", "retentionDays", "hotKeyCode", "hotKeyModifiers"}) {
        (void)defaults.integer(QString::fromLatin1(key));
    }
    for (const char* key : {"autoPaste", "paused"}) {
        (void)defaults.boolean(QString::fromLatin1(key));
    }
    (void)defaults.stringArray(QStringLiteral("excludedApps"));
    if (const auto number = defaults.integer(QStringLiteral("maxItems"))) {
        ORV_FUZZ_EXPECT(defaults.object(QStringLiteral("maxItems")).toDouble() == double(*number));
    }

    FakeLoginItemService loginItem;
    PreferencesStore preferences(defaults, loginItem);
    ORV_FUZZ_EXPECT(PreferencesStore::allowedMax.contains(preferences.maxItems()));
    ORV_FUZZ_EXPECT(PreferencesStore::allowedRetentionDays.contains(preferences.retentionDays()));
    ORV_FUZZ_EXPECT(preferences.hotKey().keyboardModifiers().testAnyFlags(
        Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier | Qt::MetaModifier));
    // Loading writes nothing.
    ORV_FUZZ_EXPECT(fileBytes(path) == input);
    ORV_FUZZ_EXPECT(!QFile::exists(aside));

    // The first change writes every setting, and keeps a file it could not read beside it.
    const QJsonDocument parsed = QJsonDocument::fromJson(input.toByteArray());
    preferences.setPaused(!preferences.paused());
    const QJsonDocument written = QJsonDocument::fromJson(fileBytes(path));
    ORV_FUZZ_EXPECT(written.isObject());
    ORV_FUZZ_EXPECT(written.object().value(QStringLiteral("paused")).toBool() ==
                    preferences.paused());
    ORV_FUZZ_EXPECT(written.object().value(QStringLiteral("maxItems")).toInt() ==
                    preferences.maxItems());
    if (!parsed.isObject()) {
        ORV_FUZZ_EXPECT(fileBytes(aside) == input);
    } else if (QFile::exists(aside)) {
        ORV_FUZZ_EXPECT(fileBytes(aside) == input);
    }
}

}  // namespace FuzzEntries

}  // namespace orv
