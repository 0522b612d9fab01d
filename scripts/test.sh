#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors, and runs the whole test suite; then makes the Debian
# package from a Release build of its own and checks it (scripts/package.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh -DSOCIOS_WERROR=ON
ctest --test-dir build --output-on-failure --parallel "$(nproc)"
scripts/package.sh
