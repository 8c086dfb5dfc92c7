#include "platform/x11/SelectionTransfer.h"

#include <QSet>

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
