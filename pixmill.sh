#!/usr/bin/env bash
# Installs what is missing, builds Pixmill and opens it, with FILE if given.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

"$here/scripts/install-deps.sh"
cmake -S "$here" -B "$here/build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$here/build" -j "$(nproc 2>/dev/null || echo 2)"

if [ -x "$here/build/src/ui/pixmill" ]; then
  exec "$here/build/src/ui/pixmill" "$@"
fi
echo "pixmill.sh: the desktop program is not built yet; starting the command line instead" >&2
exec "$here/build/src/pixmill-cli" "$@"
