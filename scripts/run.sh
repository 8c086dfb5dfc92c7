#!/usr/bin/env bash
# Installs what is missing, builds, and starts Orvantide in this desktop session.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ]; then
    echo "Orvantide necesita una sesión de escritorio gráfica (X11 o XWayland): no hay DISPLAY." >&2
    exit 1
fi
./scripts/setup.sh
exec "${BUILD_DIR:-build}/src/app/orvantide" "$@"
