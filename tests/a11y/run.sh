#!/usr/bin/env bash
# The accessibility tests on a private display and session bus.
#   tests/a11y/run.sh <orvantide>
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
exec dbus-run-session -- "$here/../../scripts/xvfb-run.sh" /usr/bin/python3 \
    "$here/accessibility_tests.py" "$@"
