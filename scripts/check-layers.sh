#!/usr/bin/env bash
# Fails when a source file includes a folder its layer may not use. The layers
# and their arrows are described in ARCHITECTURE.md; keep the two in step.
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$here"

declare -A allowed=(
    [support]="support"
    [config]="support config"
    [media]="support config media encoder/InputFormats.h"
    [engine]="support config media engine"
    [preview]="support config media preview"
    [shell]="support config media engine preview plugins shell"
    [ui]="support config media engine preview plugins shell ui"
    [plugins]="plugins"
    [encoder]="encoder"
)

bad=0
for layer in "${!allowed[@]}"; do
    [ -d "$layer" ] || continue
    while IFS= read -r hit; do
        file="${hit%%:*}"
        path="$(sed -E 's/.*#include[[:space:]]*"([^"]+)".*/\1/' <<<"$hit")"
        target="${path%%/*}"
        # Only includes of our own folders are checked.
        [ -n "${allowed[$target]+x}" ] || continue
        case " ${allowed[$layer]} " in
        *" $target "* | *" $path "*) ;;
        *)
            echo "layer check: $file includes $target/ (a $layer file may use: ${allowed[$layer]})"
            bad=1
            ;;
        esac
    done < <(grep -rnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*"[^/"]+/' \
        --include='*.h' --include='*.hpp' --include='*.cpp' --include='*.c' "$layer" || true)
done
if [ "$bad" -ne 0 ]; then
    exit 1
fi
echo "layer check: every include follows the layers"
