#!/bin/sh
# The kill loop at length, outside `make test`: work sessions of PARALLEL
# downloads at once (default 4), killed with SIGKILL KILLS times (default
# 60); every restart is checked as tests/support/killloop_main.cpp describes.
# With "program" last the sessions are the program's own (pullmark
# --download), else the test runner's.
#   tests/kill_loop.sh [BUILD_DIR] [KILLS] [PARALLEL] [SEED] [program]
# Needs pm_kill_loop, pm_session_runner and pullmark built in BUILD_DIR
# (default: build).
set -eu
BIN=${1:-build}/bin
if [ "${5:-}" = program ]; then
  exec "$BIN/pm_kill_loop" "${2:-60}" "${3:-4}" "${4:-1}" "$(cd "$BIN" && pwd)/pullmark"
fi
exec "$BIN/pm_kill_loop" "${2:-60}" "${3:-4}" "${4:-1}"
