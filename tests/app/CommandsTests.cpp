#include "commands/Commands.h"

#include "platform/fakes/FakeWorkspace.h"
#include "platform/fakes/InMemoryPasteboard.h"
#include "support/ModelFixture.h"
#include "support/TestImages.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace orv;

namespace {

class CommandsTest : public ModelTest {
protected:
    CommandResult run(const QString& line, const QByteArray& input = {}) {
        return QCoro::waitFor(commands.run(line.split(u' '), input));
    }
    qint64 idOf(const QString& value) {
        for (const Clip& clip : history.real().clips({}).result()) {
            if (clip.value == value) {
                return clip.id;
            }
        }
        return 0;
    }

    InMemoryPasteboard pasteboard;
    FakeWorkspace workspace;
    ClipboardMonitor monitor{pasteboard, workspace};
    PlatformServices::Mechanisms mechanisms{"X11", "X11", "XTest", "X11 (solo ventanas XWayland)"};
    Commands commands{
        {history, preferences, recorder, monitor, workspace, [this] { return mechanisms; }}};
};

}  // namespace

TEST_F(CommandsTest, ListsPinnedFirstByKindWithinTheLimit) {
    copyText("uno");
    copyText("#FF0000");
    copyText("tres");
    const qint64 uno = idOf("uno");
    ASSERT_EQ(run(QStringLiteral("pin %1").arg(uno)).status, 0);

    const CommandResult all = run("list");
    EXPECT_EQ(all.status, 0);
    const QStringList lines = QString::fromUtf8(all.output).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("%1\ttexto\tfijado\tuno").arg(uno));
    EXPECT_TRUE(lines[1].endsWith("\ttexto\t-\ttres"));
    EXPECT_EQ(run("list --kind color").output.count('\n'), 1);
    EXPECT_EQ(run("list --search tr").output.count('\n'), 1);
    // The same records, each ended by NUL instead.
    EXPECT_EQ(run("list -0").output, QByteArray(all.output).replace('\n', '\0'));

    // Versioned, with the kinds as the history stores them, a colour code as a colour.
    const QJsonObject listed = QJsonDocument::fromJson(run("list --json").output).object();
    EXPECT_EQ(listed["schema"].toInt(), 1);
    QStringList kinds;
    for (const QJsonValue& clip : listed["clips"].toArray()) {
        kinds.append(clip["kind"].toString());
    }
    EXPECT_EQ(kinds, QStringList({"text", "text", "color"}));
    const QJsonArray json =
        QJsonDocument::fromJson(run("list --limit 2 --json").output)["clips"].toArray();
    ASSERT_EQ(json.size(), 2);
    EXPECT_EQ(json[0]["id"].toInteger(), uno);
    EXPECT_TRUE(json[0]["pinned"].toBool());
    EXPECT_EQ(json[1]["value"].toString(), "tres");
    EXPECT_TRUE(json[1]["source"].isNull());

    // Lists read each value's beginning only, as many as asked for; get gives it whole.
    const QString longText = QString(3 * Clip::listedCharacters, u'x');
    copyText(longText);
    const int wholeReads = history.calls.value("clips");
    const QJsonArray newest =
        QJsonDocument::fromJson(run("list --limit 1 --json --search xxx").output)["clips"]
            .toArray();
    ASSERT_EQ(newest.size(), 1);
    EXPECT_EQ(newest[0]["value"].toString().size(), Clip::listedCharacters);
    EXPECT_TRUE(newest[0]["partial"].toBool());
    EXPECT_FALSE(json[1].toObject().contains("partial"));
    EXPECT_EQ(history.calls.value("clips"), wholeReads) << "no value read whole";
    EXPECT_EQ(run(QStringLiteral("get %1").arg(idOf(longText))).output, longText.toUtf8());

    history.failing["listing"] = "disk I/O error";
    const CommandResult failed = run("list");
    EXPECT_EQ(failed.status, 1);
    EXPECT_EQ(failed.message, "no se pudo leer el historial (disk I/O error)");
}

TEST_F(CommandsTest, GetCopyAndChangesActOnlyOnClipsThatExist) {
    copyText("hola");
    const QByteArray png = TestImages::png(6, 4, Qt::red);
    await(recorder.record({CapturedClip::Image{png}, std::nullopt}));
    const qint64 hola = idOf("hola");
    const qint64 image = history.real().clips({}).result().first().id;

    EXPECT_EQ(run(QStringLiteral("get %1").arg(hola)).output, "hola");
    EXPECT_EQ(run(QStringLiteral("get %1").arg(image)).output, png);

    ASSERT_EQ(run(QStringLiteral("copy %1").arg(hola)).status, 0);
    EXPECT_EQ(pasteboard.contents().value(MimeTypes::plainUtf8Text), "hola");
    EXPECT_EQ(monitor.suppressedChangeCount, pasteboard.changeCount()) << "not recorded again";

    for (const char* verb : {"get", "copy", "delete", "pin", "unpin"}) {
        const CommandResult result = run(QStringLiteral("%1 999").arg(QLatin1String(verb)));
        EXPECT_EQ(result.status, 1) << verb;
        EXPECT_EQ(result.message, "no hay ningún clip con el id 999") << verb;
    }
    EXPECT_EQ(stored().size(), 2);
    EXPECT_EQ(history.calls.value("deleteClip") + history.calls.value("togglePinned"), 0);

    EXPECT_EQ(run(QStringLiteral("delete %1").arg(hola)).status, 0);
    EXPECT_EQ(stored().size(), 1);
    EXPECT_EQ(run("get x").status, 2);
}

TEST_F(CommandsTest, PinAndUnpinAreIdempotentAndClearKeepsPinned) {
    copyText("fijo");
    copyText("suelto");
    const QString id = QString::number(idOf("fijo"));
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(run("pin " + id).status, 0);
    }
    EXPECT_TRUE(history.real().clip(id.toLongLong()).result()->pinned);
    EXPECT_EQ(history.calls.value("togglePinned"), 1);
    EXPECT_EQ(run("clear").status, 0);
    EXPECT_EQ(stored(), QStringList{"fijo"});
    for (int i = 0; i < 2; ++i) {
        EXPECT_EQ(run("unpin " + id).status, 0);
    }
    EXPECT_FALSE(history.real().clip(id.toLongLong()).result()->pinned);
    EXPECT_EQ(history.calls.value("togglePinned"), 2);
}

TEST_F(CommandsTest, AddRecordsLikeACaptureHonouringPauseAndExclusions) {
    workspace.frontmost = FakeWorkspace::application("XTerm");
    const CommandResult added = run("add", "  desde la terminal\n");
    ASSERT_EQ(added.status, 0) << added.message.toStdString();
    const qint64 id = idOf("desde la terminal");
    EXPECT_EQ(added.output, QByteArray::number(id) + '\n');
    EXPECT_EQ(history.real().clip(id).result()->source, QStringLiteral("XTerm"));

    // A pass under way stores the new text after it; the answer waits for it.
    recorder.record({CapturedClip::Text{"antes", std::nullopt}, std::nullopt});
    EXPECT_EQ(run("add", "después").status, 0);
    EXPECT_NE(idOf("después"), 0);

    const int before = int(stored().size());
    EXPECT_EQ(run("add", QByteArray("a\0b", 3)).status, 1);
    EXPECT_EQ(run("add", " \n").status, 1);
    preferences.setExcludedApps({"xterm"});
    const CommandResult excluded = run("add", "secreto");
    EXPECT_EQ(excluded.status, 1);
    EXPECT_EQ(excluded.message, "«XTerm» está en las exclusiones; no se ha añadido nada");
    preferences.setExcludedApps({});
    EXPECT_EQ(run("pause").status, 0);
    EXPECT_TRUE(preferences.paused());
    EXPECT_TRUE(run("add", "en pausa").message.startsWith("la captura está en pausa"));
    EXPECT_EQ(run("resume").status, 0);
    EXPECT_EQ(int(stored().size()), before);

    history.failing["upsert"] = "database is locked";
    const CommandResult locked = run("add", "bloqueado");
    EXPECT_EQ(locked.status, 1);
    EXPECT_TRUE(locked.message.contains("se reintentará (database is locked)"))
        << locked.message.toStdString();
}

TEST_F(CommandsTest, AddWithATypeStoresWhatItSaysExactly) {
    const auto added = [&](const QString& type, const QByteArray& input) -> std::optional<Clip> {
        const CommandResult result = run("add --type " + type, input);
        EXPECT_EQ(result.status, 0) << type.toStdString() << result.message.toStdString();
        return history.real().clip(result.output.trimmed().toLongLong()).result();
    };
    const auto text = added("text/plain", "  sin recortar\n\n");
    ASSERT_TRUE(text);
    EXPECT_EQ(text->value, "  sin recortar\n\n");

    const QByteArray html = "<p>Hola <b>mundo</b></p>";
    const auto rich = added("text/html", html);
    ASSERT_TRUE(rich);
    EXPECT_EQ(rich->value, "Hola mundo");
    EXPECT_EQ(rich->html, QString(html));

    const auto files =
        added("text/uri-list", "# dos\r\nfile:///tmp/un%20informe.pdf\r\nfile:///etc/hosts\r\n");
    ASSERT_TRUE(files);
    EXPECT_EQ(files->kind, ClipKind::files);
    EXPECT_EQ(files->value, "/tmp/un informe.pdf\n/etc/hosts");

    const QByteArray png = TestImages::png(7, 5, Qt::blue);
    const auto image = added("image/png", png);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->kind, ClipKind::image);
    EXPECT_EQ(run(QStringLiteral("get %1").arg(image->id)).output, png) << "the bytes as they came";
    QByteArray bmp;
    QBuffer buffer(&bmp);
    ASSERT_TRUE(QImage::fromData(TestImages::png(9, 3, Qt::green)).save(&buffer, "BMP"));
    const auto converted = added("image/bmp", bmp);
    ASSERT_TRUE(converted);
    EXPECT_EQ(
        QImage::fromData(run(QStringLiteral("get %1").arg(converted->id)).output, "PNG").size(),
        QSize(9, 3));

    // Refused, with why, and nothing stored.
    const QStringList before = stored();
    const std::tuple<const char*, QByteArray, int, const char*> refusals[] = {
        {"text/plain", QByteArray("a\0b", 3), 1, "la entrada no es texto UTF-8"},
        {"text/html", "\xff\x80", 1, "la entrada no es texto UTF-8"},
        {"text/plain", "", 1, "la entrada está vacía"},
        {"image/png", "", 1, "la entrada está vacía"},
        {"image/png", "no soy un PNG", 1, "la entrada no es una imagen image/png legible"},
        {"image/jpeg", png, 1, "la entrada no es una imagen image/jpeg legible"},
        {"text/html", "<img src=x>", 1, "el HTML no tiene texto"},
        {"text/uri-list", "https://example.org/\r\n", 1, "la lista no nombra ningún archivo"},
        {"application/pdf", "%PDF-1.4", 2, "--type admite"},
    };
    for (const auto& [type, input, status, message] : refusals) {
        const CommandResult result = run(QStringLiteral("add --type ") + type, input);
        EXPECT_EQ(result.status, status) << type;
        EXPECT_TRUE(result.message.startsWith(QString::fromUtf8(message)))
            << type << ": " << result.message.toStdString();
    }
    EXPECT_EQ(stored(), before);
}

TEST_F(CommandsTest, StatusSaysWhatTheInstanceDoesAndQuitAsksToEnd) {
    copyText("uno");
    copyText("dos");
    preferences.setPaused(true);
    EXPECT_EQ(run("status").output,
              "Clips: 2\nCaptura: en pausa\nPortapapeles: X11\nAtajo: X11\nPegado: XTest\n"
              "Aplicación activa: X11 (solo ventanas XWayland)\n");
    preferences.setPaused(false);
    const QJsonObject status = QJsonDocument::fromJson(run("status --json").output).object();
    EXPECT_EQ(status["schema"].toInt(), 1);
    EXPECT_EQ(status["clips"].toInt(), 2);
    EXPECT_FALSE(status["paused"].toBool(true));
    EXPECT_EQ(status["services"].toObject(),
              QJsonObject({{"clipboard", "X11"},
                           {"hotKey", "X11"},
                           {"paste", "XTest"},
                           {"activeApplication", "X11 (solo ventanas XWayland)"}}));
    history.failing["listing"] = "disk I/O error";
    EXPECT_EQ(run("status").message, "no se pudo leer el historial (disk I/O error)");

    int quits = 0;
    QObject::connect(&commands, &Commands::quitRequested, [&] { ++quits; });
    EXPECT_EQ(run("quit").status, 0);
    EXPECT_EQ(quits, 1);
}

TEST_F(CommandsTest, DesktopActionsAreNamedAndOthersRefused) {
    int toggles = 0;
    QObject::connect(&commands, &Commands::toggleRequested, [&] { ++toggles; });
    EXPECT_TRUE(commands.activate("toggle"));
    EXPECT_EQ(run("toggle").status, 0);
    EXPECT_EQ(toggles, 2);
    EXPECT_TRUE(commands.activate("preferences"));
    EXPECT_TRUE(commands.activate("clear"));
    EXPECT_FALSE(commands.activate("quit"));
    EXPECT_EQ(run("--toggle").status, 2);
}
