// The clipboard suite against a real X server: xclip and small helper programs play the other
// applications. Run through scripts/xvfb-run.sh.
#include "platform/x11/SystemPasteboard.h"
#include "platform/x11/X11Workspace.h"
#include "support/ClipboardSuite.h"

#include <QGuiApplication>
#include <QWidget>

using namespace orv;

namespace {

struct X11Backend {
    std::unique_ptr<SystemPasteboard> pasteboard =
        std::make_unique<SystemPasteboard>(QGuiApplication::clipboard());
    X11Workspace workspace;
    static inline const QString text = QStringLiteral("UTF8_STRING");
    // Its TARGETS are asked of the owner itself.
    static constexpr bool typesComeWithTheOffer = false;
    static constexpr const char* dropsUsForFiftyThousandTypes = nullptr;

    static QStringList copy(const QString& file, const QString& type) {
        return {"xclip", "-selection", "clipboard", "-t", type, "-i", file};
    }
    static QStringList serve(const QString& type) {
        return {"xclip", "-quiet", "-selection", "clipboard", "-t", type, "-i"};
    }
    static QStringList paste(const QString& type) {
        return {"xclip", "-selection", "clipboard", "-o", "-t", type};
    }
    static QStringList offered() { return paste("TARGETS"); }
    static QStringList owner(const QStringList& typesAndValues) {
        return QStringList{ORV_CLIPBOARD_OWNER} + typesAndValues;
    }
    static QStringList recorded(const QString& folder, int extra) {
        return {ORV_RECORDED_OWNER, folder, QString::number(extra)};
    }
    static QStringList hung() { return {ORV_HUNG_OWNER}; }
    // Qt's own targets, and its X11 names of what it writes.
    static QStringList added(const QStringList& written) {
        QStringList types{"TARGETS", "MULTIPLE", "TIMESTAMP", "SAVE_TARGETS"};
        if (written.contains("text/plain")) {
            types += QStringList{"UTF8_STRING", "STRING", "TEXT"};
        }
        if (written.contains("text/uri-list")) {
            types += QStringList{"text/x-moz-url", "text/plain"};
        }
        return types;
    }
    // Our own change notice comes back while xclip asks us for the types.
    static void settle() { runTool("xclip", paste("TARGETS").mid(1)); }
};

using ClipboardX11Test = ClipboardSuite<X11Backend>;

}  // namespace

namespace orv {
INSTANTIATE_TYPED_TEST_SUITE_P(X11, ClipboardSuite, X11Backend);
}

// X11 alone: the old text type STRING is Latin-1 (Wayland's clients offer text as UTF-8).
TEST_F(ClipboardX11Test, StringIsLatin1) {
    copy("se\xF1or", "STRING");
    EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{"señor", {}}));
}

// X11 alone: here the window in front is X11's (Wayland's window list: tests/waylandinput).
// A download or a script copies on while the palette is open: kept. What our own window copies
// is not.
TEST_F(ClipboardX11Test, OnlyCopiesMadeInOurWindowsAreSkippedWhateverIsInFront) {
    QWidget window;
    window.setWindowTitle("Orvantide");
    window.resize(200, 100);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto front = backend.workspace.frontmostApplication();
            return front && front->bundleIdentifier == Workspace::ownBundleIdentifier;
        },
        5000))
        << "our window never became active";
    for (int i = 1; i <= 3; ++i) {
        const QString text = QStringLiteral("copiado con la paleta abierta %1").arg(i);
        copy(text.toUtf8(), X11Backend::text);
        EXPECT_EQ(nextCapture().payload, CapturedClip::Payload(CapturedClip::Text{text, {}}));
        EXPECT_EQ(captured.last().source, std::nullopt);
    }
    // As the search field's Ctrl+C does.
    QGuiApplication::clipboard()->setText(QStringLiteral("copiado en casa"));
    paste(X11Backend::text);
    EXPECT_TRUE(pasteboard().reader()->ours());
    expectNoCapture();
}

// X11 alone: Wayland cancels the read of a replaced offer, as a transfer cut short by an owner that
// quits then cannot be told from a whole one. A copy being read when the next one comes is kept
// while its owner still answers; an answer that would mix two owners' contents is never taken.
TEST_F(ClipboardX11Test, AReplacedOwnerThatStillAnswersIsCapturedButNeverMixedWithTheNext) {
    // Generous: the owner is told to answer only after the next copy.
    pasteboard().readLimits.replacedOwnerTimeout = 30s;
    // Keeps running when replaced, and answers `target` once a line arrives.
    const auto heldCopy = [&](const QString& target, const QString& text) {
        QProcess* owner = startOwner({ORV_HELD_OWNER, target, text});
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return owner->canReadLine() || owner->waitForReadyRead(10); }, 15000));
        EXPECT_EQ(owner->readLine().trimmed(), "asked") << "the read asked for the held target";
        return owner;
    };
    const auto answer = [](QProcess* owner) {
        owner->write("\n");
        owner->waitForBytesWritten();
    };
    QProcess* first = heldCopy("UTF8_STRING", "el primero");
    copy("el segundo", X11Backend::text);
    answer(first);
    EXPECT_TRUE(QTest::qWaitFor([&] { return captured.size() >= 2; }, 15000));
    EXPECT_EQ(capturedTexts(), (QStringList{"el primero", "el segundo"}));

    // The list of types came from one owner; the text would come from a password manager.
    captured.clear();
    QProcess* listing = heldCopy("TARGETS", "la lista");
    ownerCopy({"text/plain=hunter2", "x-kde-passwordManagerHint=secret"});
    answer(listing);
    expectNoCapture();
}
