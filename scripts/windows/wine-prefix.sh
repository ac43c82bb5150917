#!/usr/bin/env bash
# Creates the wine prefix named by WINEPREFIX, if it is new, and waits until
# wine has finished setting it up. The first start of a fresh prefix spends
# a minute or more creating it; a caller that times wine's programs must not
# count that. It leaves no wine process behind.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the prefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
# No Mono or Gecko installer prompts: nothing here needs either.
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
mkdir -p "$(dirname "$WINEPREFIX")"
wineboot --init </dev/null >/dev/null 2>&1
# wineboot returns while the prefix's setup still runs in wine's services;
# the server ends only when they have.
wineserver -w
