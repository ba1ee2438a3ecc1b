#!/bin/sh
# Takes the README's screenshots (docs/screenshot.png, the main window;
# docs/work-queue.png; docs/options.png; docs/user-guide.png;
# docs/linked-pages.png) from the real windows over the tests' loopback
# server, under a virtual X display (Xvfb), where the browser draws its page.
# Installs xvfb when it is missing; run it again at any time to replace the
# pictures.
#
#   tools/screenshots.sh [BUILD-FOLDER]
set -eu
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SUDO=$([ "$(id -u)" = 0 ] || echo sudo)

need=""
command -v xvfb-run >/dev/null || need="$need xvfb"
command -v xauth >/dev/null || need="$need xauth"
if [ -n "$need" ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $need
fi

cmake -S . -B "$BUILD" >/dev/null  # the target exists in an older build folder too
cmake --build "$BUILD" --target pm_screenshots
# Chromium's sandbox refuses to run as root; an ordinary user keeps it.
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi
QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 \
  xvfb-run --auto-servernum --server-args="-screen 0 1280x1024x24" \
  "$BUILD/bin/pm_screenshots" docs
