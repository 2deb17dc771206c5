#!/usr/bin/env bash
# The main job: runs the installer built in build/bin/.
set -euo pipefail
cd "$(dirname "$0")/.."
exec build/bin/glyphora-installer "$@"
