#include "app/AppIcon.h"
#include "platform/ApplicationId.h"

namespace orv {

namespace AppIcon {

QIcon icon() {
    return QIcon::fromTheme(applicationId,
                            QIcon(QStringLiteral(":/orv/icons/com.quarnelbrisk.orvantide.svg")));
}

}  // namespace AppIcon

}  // namespace orv
