#include "platform/x11/SelectionTransfer.h"

#include <QSet>
#include <QStringDecoder>

#include <algorithm>
#include <cstring>

namespace orv {

bool SelectionTransfer::take(QByteArrayView piece, bool more) {
    if (truncated) {
        return false;
    }
    const qsizetype kept = std::min(piece.size(), std::max<qsizetype>(room(), 0));
    bytes.append(piece.first(kept));
    truncated = piece.size() > kept || (more && bytes.size() >= cap);
    return !truncated;
}

const char* whyNotText(QByteArrayView bytes, bool utf8, bool truncated) {
    if (bytes.contains('\0')) {
        return "it holds a NUL byte";
    }
    if (!utf8) {
        return nullptr;
    }
    // Stateful when cut: a sequence left open at the end is kept back, not an error.
    QStringDecoder decoder(QStringDecoder::Utf8, truncated ? QStringDecoder::Flag::Default
                                                           : QStringDecoder::Flag::Stateless);
    (void)QString(decoder.decode(bytes));
    if (decoder.hasError()) {
        return "it is not UTF-8";
    }
    return nullptr;
}

QList<SelectionTarget> knownTargets(QByteArrayView answer,
                                    const QHash<std::uint32_t, QByteArray>& known) {
    QList<SelectionTarget> targets;
    QSet<std::uint32_t> seen;
    for (qsizetype at = 0; at + 4 <= answer.size(); at += 4) {
        std::uint32_t atom;
        std::memcpy(&atom, answer.data() + at, sizeof(atom));
        const auto name = known.constFind(atom);
        if (name != known.cend() && !seen.contains(atom)) {
            seen.insert(atom);
            targets.append({atom, *name});
        }
    }
    return targets;
}

}  // namespace orv
