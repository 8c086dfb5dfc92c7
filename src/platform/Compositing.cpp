#include "platform/Compositing.h"

#include "platform/x11/X11Desktop.h"

namespace orv {

namespace Compositing {

bool isActive() {
    return X11Desktop::compositingActive().value_or(true);
}

}  // namespace Compositing

}  // namespace orv
