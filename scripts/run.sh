#!/usr/bin/env bash
# Installs what is missing, builds, and starts Velmora.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
"$here/scripts/build.sh"
exec "$here/build/bin/velmora" "$@"
