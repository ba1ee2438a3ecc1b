#!/bin/sh
# The package test (make package-test): the menu entry and the AppStream file
# pass their validators, an install puts every file in its place, and the
# Debian package that "make package" built holds the same files, with its
# dependencies computed. With --install it also installs the package with
# apt, runs the installed program and removes the package again.
#
#   packaging/package-test.sh [BUILD-FOLDER] [--install]
set -eu
cd "$(dirname "$0")/.."
BUILD=${1:-build}
SUDO=$([ "$(id -u)" = 0 ] || echo sudo)

need=""
command -v desktop-file-validate >/dev/null || need="$need desktop-file-utils"
command -v appstreamcli >/dev/null || need="$need appstream"
if [ -n "$need" ]; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends $need
fi

files="usr/bin/pullmark
usr/share/applications/pullmark.desktop
usr/share/metainfo/org.example.pullmark.metainfo.xml
usr/share/man/man1/pullmark.1.gz
usr/share/doc/pullmark/user-guide.html
usr/share/icons/hicolor/scalable/apps/pullmark.svg"
for size in 16 32 48 64 128 256; do
  files="$files
usr/share/icons/hicolor/${size}x${size}/apps/pullmark.png"
done

echo "== validators"
desktop-file-validate packaging/pullmark.desktop
appstreamcli validate --no-net --pedantic packaging/org.example.pullmark.metainfo.xml

echo "== install into a staging folder"
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
DESTDIR="$stage" cmake --install "$BUILD" --prefix /usr >/dev/null
for f in $files; do
  [ -f "$stage/$f" ] || { echo "not installed: /$f"; exit 1; }
done
version=$("$stage/usr/bin/pullmark" --version)
[ "$version" = "Pullmark 1.0.0" ] || { echo "--version printed: $version"; exit 1; }
echo "installed: $(echo "$files" | wc -l) files; $version"

echo "== the package"
deb=$(ls -t "$BUILD"/pullmark_*.deb | head -n 1)
contents=$(dpkg-deb --contents "$deb" | awk '{ print $6 }' | sed 's#^\./##')
for f in $files; do
  echo "$contents" | grep -qx "$f" || { echo "not in the package: /$f"; exit 1; }
done
depends=$(dpkg-deb --field "$deb" Depends)
echo "$depends" | grep -q "libqt6webenginewidgets6" || { echo "dependencies not computed: $depends"; exit 1; }
echo "$depends" | grep -q "libqt6sql6-sqlite" || { echo "the archive's database driver is missing: $depends"; exit 1; }
for field in Maintainer Section Description; do
  [ -n "$(dpkg-deb --field "$deb" "$field")" ] || { echo "no $field"; exit 1; }
done
echo "$deb: Section $(dpkg-deb --field "$deb" Section); Depends: $depends"

if [ "${2:-}" = "--install" ]; then
  echo "== apt install"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "./$deb" >/dev/null
  installed=$(/usr/bin/pullmark --version)
  dpkg -L pullmark | grep -q "^/usr/share/applications/pullmark.desktop$"
  # An ordinary user's first run: the files go under the user's home, and
  # nothing under /usr changes. The notice is accepted beforehand so that
  # the program gets past its start-up; SIGTERM then closes it like a
  # desktop session ending, which saves the configuration.
  user=pullmark-package-test
  id "$user" >/dev/null 2>&1 || $SUDO useradd --create-home "$user"
  home=$(getent passwd "$user" | cut -d: -f6)
  as_user() { $SUDO runuser -u "$user" -- env HOME="$home" "$@"; }
  as_user mkdir -p "$home/.config/Pullmark"
  printf '"bG_Disclaimer",#TRUE#\r\n"strG_StartURL","none"\r\n' | as_user tee "$home/.config/Pullmark/Pullmark.ini" >/dev/null
  marker=$(mktemp)
  sleep 1
  status=0
  as_user env QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1 timeout -s TERM 8 /usr/bin/pullmark >/dev/null 2>&1 || status=$?
  saved=$(head -n 1 "$home/.config/Pullmark/Pullmark.ini" | tr -d '\r')
  outputs=$(ls -d "$home/Downloads/Pullmark" 2>/dev/null || true)
  written=$(find /usr -newer "$marker" -not -type d 2>/dev/null | head -n 5)
  rm -f "$marker"
  $SUDO userdel --remove "$user" 2>/dev/null || true
  [ "$saved" = "\"strG_SavePath\",\"$home/Downloads/Pullmark\"" ] \
    || { echo "the user's configuration starts with $saved (exit status $status)"; exit 1; }
  [ -n "$outputs" ] || { echo "no output folder in the user's downloads"; exit 1; }
  [ -z "$written" ] || { echo "the program wrote under /usr: $written"; exit 1; }
  echo "an ordinary user's run kept its files under $home"
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get remove -y -qq pullmark >/dev/null
  [ "$installed" = "Pullmark 1.0.0" ] || { echo "installed program printed: $installed"; exit 1; }
  echo "installed with apt, /usr/bin/pullmark --version: $installed; removed again"
fi
echo "package test passed"
