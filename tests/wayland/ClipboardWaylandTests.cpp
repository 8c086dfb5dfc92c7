// The clipboard suite against a real Wayland compositor, over data-control: wl-copy, wl-paste and
// a small helper program play the other applications. Run through scripts/compositor-run.sh.
#include "platform/fakes/FakeWorkspace.h"
#include "platform/wayland/DataOffer.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDataControl.h"
#include "platform/wayland/WaylandPasteboard.h"
#include "support/ClipboardSuite.h"

using namespace orv;

namespace {

using Selection = WaylandDataControl::Selection;

struct WaylandBackend {
    std::unique_ptr<WaylandConnection> connection = WaylandConnection::connectToSession();
    std::unique_ptr<WaylandDataControl> control =
        connection ? WaylandDataControl::create(*connection) : nullptr;
    std::unique_ptr<WaylandPasteboard> pasteboard =
        control ? std::make_unique<WaylandPasteboard>(*control, Selection::clipboard) : nullptr;
    FakeWorkspace workspace;
    static inline const QString text = QStringLiteral("text/plain");
    static constexpr bool typesComeWithTheOffer = true;
    static constexpr const char* dropsUsForFiftyThousandTypes =
        "sway (libwayland-server 1.21) drops our connection when an offer of 50 000 types "
        "overflows its buffer to us; the clipboard is not reconnected yet";

    // From a file: a pipe fed from here would be slow for the large ones. wl-copy offers any other
    // text/ type under the text names too: those come from the helper, alone.
    static QStringList copy(const QString& file, const QString& type) {
        if (type.startsWith(u"text/") && type != text) {
            return {"sh", "-c", "\"$0\" \"$1=@$2\" >/dev/null 2>&1 &", ORV_WAYLAND_OWNER,
                    type, file};
        }
        return {"sh", "-c", "exec wl-copy --type \"$1\" < \"$0\"", file, type};
    }
    static QStringList serve(const QString& type) {
        return {"wl-copy", "--foreground", "--type", type};
    }
    static QStringList paste(const QString& type) { return {"wl-paste", "-n", "-t", type}; }
    static QStringList offered() { return {"wl-paste", "-l"}; }
    static QStringList owner(const QStringList& typesAndValues) {
        return QStringList{ORV_WAYLAND_OWNER} + typesAndValues;
    }
    // Each recorded type that has its bytes ('/', ';' and '=' written as '_' in the file name).
    static QStringList recorded(const QString& folder, int extra) {
        QStringList arguments{ORV_WAYLAND_OWNER};
        QFile list(folder + "/TARGETS");
        EXPECT_TRUE(list.open(QIODevice::ReadOnly));
        for (const QByteArray& line : list.readAll().split('\n')) {
            QString file = QString::fromUtf8(line);
            file.replace(u'/', u'_').replace(u';', u'_').replace(u'=', u'_');
            if (!line.isEmpty() && line != "TARGETS" && QFile::exists(folder + "/" + file)) {
                arguments.append(QString::fromUtf8(line) + "=@" + folder + "/" + file);
            }
        }
        for (int i = 0; i < extra; ++i) {
            arguments.append(QStringLiteral("x-orv-relleno-%1=").arg(i));
        }
        return arguments;
    }
    static QStringList hung() { return {ORV_WAYLAND_OWNER, "--hold", "0", "text/plain=nunca"}; }
    // Our mark, and the X11 name of UTF-8 text.
    static QStringList added(const QStringList& written) {
        return written.contains("text/plain")
                   ? QStringList{WaylandDataControl::ownType, "UTF8_STRING"}
                   : QStringList{WaylandDataControl::ownType};
    }
    void settle() {
        ASSERT_TRUE(connection->roundtrip());
        EXPECT_FALSE(control->offer(Selection::clipboard)) << "the echo is read from our copy";
    }
};

using ClipboardWaylandTest = ClipboardSuite<WaylandBackend>;

}  // namespace

namespace orv {
INSTANTIATE_TYPED_TEST_SUITE_P(Wayland, ClipboardSuite, WaylandBackend);
}

// Wayland alone: data-control caps the types it keeps of an offer, and lets a client clear the
// selection (on X11 it is cleared only when its owner quits).
TEST_F(ClipboardWaylandTest, ManyTypesAndAClearedClipboardAreNotCaptured) {
    // However many types come before the mark.
    QStringList many;
    for (int i = 0; i < 3000; ++i) {
        many.append(QStringLiteral("x-orv-relleno-%1=x").arg(i));
    }
    ownerCopy(many + QStringList{"text/plain=hunter3", "x-kde-passwordManagerHint=secret"});
    expectNoCapture();
    EXPECT_LE(backend.control->offer(Selection::clipboard)->types().size(),
              WaylandDataControl::maximumOfferedTypes + 2);

    const qint64 before = pasteboard().changeCount();
    runTool("wl-copy", {"--clear"});
    waitForChange(before);
    EXPECT_FALSE(backend.control->offer(Selection::clipboard));
    expectNoCapture();
}
