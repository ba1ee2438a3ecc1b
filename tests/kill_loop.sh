#!/bin/sh
# The kill loop at length, outside `make test`: work sessions of the program
# (pullmark --download) with PARALLEL downloads at once (default 4), killed
# with SIGKILL KILLS times (default 60); every restart is checked as
# tests/support/killloop_main.cpp describes.
#   tests/kill_loop.sh [BUILD_DIR] [KILLS] [PARALLEL] [SEED]
# Needs pm_kill_loop and pullmark built in BUILD_DIR (default: build).
set -eu
exec "${1:-build}/bin/pm_kill_loop" "${2:-60}" "${3:-4}" "${4:-1}"
