#!/bin/sh
# Harvesting from the command line: "pullmark --harvest --parallel 4" of a
# loopback gallery page linking 500 files of 64 KiB, the server answering
# every request 20 ms late, against "wget -r -l1 -A jpg" of the same page in
# the same run. Pullmark's time includes starting its browser.
#   bench/harvest_bench.sh [BUILD_DIR] [ROUNDS]
# Needs pm_testserver and pullmark built in BUILD_DIR (default: build), and
# wget. Each round runs wget, Pullmark, wget; the round's reference is the
# mean of its two wget runs, and the figures quoted are the medians of the
# rounds. Target: Pullmark <= 0.5 x wget.
set -eu
BIN=${1:-build}/bin
ROUNDS=${2:-5}
FILES=500
WORK=$(mktemp -d)
trap 'kill $SERVER 2>/dev/null; rm -rf "$WORK"' EXIT
# Chromium's sandbox refuses to run as root.
if [ "$(id -u)" = 0 ]; then export QTWEBENGINE_DISABLE_SANDBOX=1; fi

"$BIN/pm_testserver" > "$WORK/port" &
SERVER=$!
while [ ! -s "$WORK/port" ]; do sleep 0.05; done
PAGE="http://127.0.0.1:$(head -n1 "$WORK/port")/gallery/$FILES/65536/20/"

now() { date +%s.%N; }
since() { echo "$1 $(now)" | awk '{ printf "%.3f\n", $2 - $1 }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { printf "%.3f\n", v[int((NR + 1) / 2)] }'; }
column_median() { awk -v c="$1" '{ print $c }' "$2" | median; }
files_in() { find "$1" -type f | wc -l; }

wget_once() {
  rm -rf "$WORK/ref"
  t0=$(now)
  wget -r -l1 -A jpg -nd -q -P "$WORK/ref" "$PAGE" || true  # 404 for robots.txt
  s=$(since "$t0")
  test "$(files_in "$WORK/ref")" = "$FILES" || { echo "wget saved $(files_in "$WORK/ref") files" >&2; exit 1; }
  echo "$s"
}
# A configuration of its own each round: nothing queued, nothing archived,
# its log beside it.
pullmark_once() {
  rm -rf "$WORK/pm" "$WORK/cfg"; mkdir "$WORK/cfg"
  printf '"bG_Disclaimer",#TRUE#\r\n"strG_StartURL","none"\r\n"strG_LogFileName","%s"\r\n' "$WORK/cfg/pm.log" \
    > "$WORK/cfg/pm.ini"
  t0=$(now)
  "$BIN/pullmark" --config "$WORK/cfg/pm.ini" --harvest "$PAGE" --parallel 4 --out "$WORK/pm" \
    > "$WORK/pm.out" 2> "$WORK/pm.err" || { cat "$WORK/pm.err" >&2; exit 1; }
  s=$(since "$t0")
  test "$(grep -c '^saved' "$WORK/pm.out")" = "$FILES" && test "$(files_in "$WORK/pm")" = "$FILES" || {
    echo "Pullmark saved $(files_in "$WORK/pm") of $FILES files" >&2; exit 1; }
  echo "$s"
}

echo "== Harvest a gallery of $FILES files of 64 KiB, 20 ms per answer: wget -r -l1, Pullmark --parallel 4, wget ($ROUNDS rounds)"
: > "$WORK/rounds"
for round in $(seq "$ROUNDS"); do
  before=$(wget_once)
  pm=$(pullmark_once)
  after=$(wget_once)
  echo "$before $after $pm" | awk '{ ref = ($1 + $2) / 2; printf "%.3f %.3f %.4f\n", ref, $3, $3 / ref }' >> "$WORK/rounds"
done
echo "rounds (wget s, Pullmark s, ratio): $(tr '\n' ';' < "$WORK/rounds")"
echo "wget -r -l1 -A jpg: $(column_median 1 "$WORK/rounds") s (median)"
echo "pullmark --harvest --parallel 4: $(column_median 2 "$WORK/rounds") s (median)"
echo "ratio Pullmark / wget, median of the rounds: $(column_median 3 "$WORK/rounds") (target <= 0.5)"
