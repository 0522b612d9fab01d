#!/usr/bin/env bash
# Installs what is missing, builds, and starts socios on the member file in "$HOME/MIS PROGRAMAS/dorvel.mdb".
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
exec build/app/socios
