#!/usr/bin/env bash
# Builds the Debian package build-package/tunvask_<version>_<arch>.deb (Release, no
# tests) and checks it with lintian. Install it with: sudo apt-get install ./build-package/tunvask_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh --package
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DTUNVASK_TESTS=OFF -DTUNVASK_BENCH=OFF -DTUNVASK_HELP=ON >/dev/null
cmake --build build-package -j"$(nproc)"
(cd build-package && cpack -G DEB >/dev/null)
deb=$(ls build-package/tunvask_*.deb)
echo "$deb"
lintian --fail-on error "$deb" || { echo "lintian found errors in $deb" >&2; exit 1; }
