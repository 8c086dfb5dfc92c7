#pragma once

// The update feed's entry, apart from the others because it needs the network module.
#include "FuzzEntries.h"
#include "app/AppUpdater.h"

namespace orv {

namespace FuzzEntries {

// ---- the update feed -----------------------------------------------------------------------

inline void appcast(QByteArrayView input) {
    const UpdateCheck outcome = AppUpdater::outcomeOf(input.toByteArray(), QStringLiteral("1.0.0"));
    ORV_FUZZ_EXPECT(!outcome.message.isEmpty());
    switch (outcome.outcome) {
        case UpdateCheck::Outcome::newerAvailable:
            // A download is offered only over a safe address.
            ORV_FUZZ_EXPECT(!outcome.latestVersion.isEmpty());
            ORV_FUZZ_EXPECT(outcome.downloadUrl.scheme() == u"https" ||
                            outcome.downloadUrl.host() == u"127.0.0.1" ||
                            outcome.downloadUrl.host() == u"localhost" ||
                            outcome.downloadUrl.host() == u"::1");
            break;
        case UpdateCheck::Outcome::upToDate:
            ORV_FUZZ_EXPECT(!outcome.latestVersion.isEmpty());
            ORV_FUZZ_EXPECT(outcome.downloadUrl.isEmpty());
            break;
        case UpdateCheck::Outcome::failed:
            ORV_FUZZ_EXPECT(outcome.latestVersion.isEmpty());
            break;
    }
}

}  // namespace FuzzEntries

}  // namespace orv
