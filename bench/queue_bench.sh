#!/bin/sh
# Download-queue benchmarks against curl and wget on the same loopback server.
#   bench/queue_bench.sh [BUILD_DIR]
# Needs pm_testserver and pm_queue_bench built in BUILD_DIR (default: build).
#
# Each figure is taken over several rounds; a round runs the reference and
# Pullmark back to back, so the ratio quoted is the median of the rounds'
# ratios, which a machine whose speed drifts between rounds disturbs least.
set -eu
BIN=${1:-build}/bin
WORK=$(mktemp -d)
trap 'kill $SERVER 2>/dev/null; rm -rf "$WORK"' EXIT

"$BIN/pm_testserver" > "$WORK/port" &
SERVER=$!
while [ ! -s "$WORK/port" ]; do sleep 0.05; done
BASE="http://127.0.0.1:$(head -n1 "$WORK/port")"

now() { date +%s.%N; }
since() { echo "$1 $(now)" | awk '{ printf "%.3f\n", $2 - $1 }'; }
field() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
# column N of every line of FILE, its median
column_median() { awk -v c="$1" '{ print $c }' "$2" | median; }
# the median over FILE's lines of column A divided by column B
ratio_median() { awk -v a="$1" -v b="$2" '{ printf "%.4f\n", $a / $b }' "$3" | median | awk '{ printf "%.2f", $1 }'; }

echo "== 1 GiB file (5 rounds)"
SIZE=1073741824
URL="$BASE/file/big.bin?size=$SIZE"
mkdir -p "$WORK/curl"
: > "$WORK/big.rounds"; : > "$WORK/growth"
for round in 1 2 3 4 5; do
  t0=$(now); curl -s -o "$WORK/curl/big.bin" "$URL"; curl_s=$(since "$t0")
  test "$(stat -c %s "$WORK/curl/big.bin")" = "$SIZE"
  rm -f "$WORK/curl/big.bin"
  "$BIN/pm_queue_bench" session "$WORK/pm1" "$URL" > "$WORK/pm1.txt"
  test "$(stat -c %s "$WORK/pm1/big.bin?size=$SIZE")" = "$SIZE"
  rm -f "$WORK/pm1/big.bin?size=$SIZE"
  echo "$curl_s $(field seconds "$WORK/pm1.txt")" >> "$WORK/big.rounds"
  echo "$(field peak_rss_kb "$WORK/pm1.txt") $(field idle_rss_kb "$WORK/pm1.txt")" | awk '{ print $1 - $2 }' >> "$WORK/growth"
done
CURL_S=$(column_median 1 "$WORK/big.rounds")
PM_S=$(column_median 2 "$WORK/big.rounds")
GROWTH_KB=$(sort -n "$WORK/growth" | tail -n1)
echo "rounds (curl s, Pullmark s): $(tr '\n' ';' < "$WORK/big.rounds")"
echo "curl:     median $CURL_S s ($(echo "$CURL_S" | awk '{ printf "%.0f", 1024 / $1 }') MiB/s)"
echo "Pullmark: median $PM_S s ($(echo "$PM_S" | awk '{ printf "%.0f", 1024 / $1 }') MiB/s)"
echo "throughput ratio (Pullmark / curl), median of the rounds: $(ratio_median 1 2 "$WORK/big.rounds") (target >= 0.8)"
echo "resident memory growth over the idle program, largest of the rounds: $((GROWTH_KB / 1024)) MiB (target <= 64)"

echo "== 2,000 files of 4 KiB (3 rounds)"
N=2000
i=1; : > "$WORK/list"
while [ $i -le $N ]; do echo "$BASE/file/f$i.bin?size=4096" >> "$WORK/list"; i=$((i + 1)); done
: > "$WORK/small.rounds"
for round in 1 2 3; do
  rm -rf "$WORK/wget" "$WORK/floor" "$WORK/pm2"
  t0=$(now); wget -q -i "$WORK/list" -P "$WORK/wget"; wget_s=$(since "$t0")
  test "$(ls "$WORK/wget" | wc -l)" = "$N"
  # The smallest Qt downloader: bare Qt Network, one new file per body.
  "$BIN/pm_queue_bench" floor "$WORK/floor" "$WORK/list" > "$WORK/floor.txt"
  test "$(field items "$WORK/floor.txt")" = "$N"
  "$BIN/pm_queue_bench" list "$WORK/pm2" "$WORK/list" > "$WORK/pm2.txt"
  test "$(ls "$WORK/pm2" | grep -c '^f')" = "$N"
  echo "$wget_s $(field seconds "$WORK/floor.txt") $(field seconds "$WORK/pm2.txt")" >> "$WORK/small.rounds"
done
WGET_S=$(column_median 1 "$WORK/small.rounds")
FLOOR_S=$(column_median 2 "$WORK/small.rounds")
PM2_S=$(column_median 3 "$WORK/small.rounds")
rate() { echo "$N $1" | awk '{ printf "%.0f", $1 / $2 }'; }
echo "rounds (wget s, bare Qt s, Pullmark s): $(tr '\n' ';' < "$WORK/small.rounds")"
echo "wget:            median $WGET_S s ($(rate "$WGET_S") items/s)"
echo "bare Qt Network: median $FLOOR_S s ($(rate "$FLOOR_S") items/s); ratio to wget $(ratio_median 1 2 "$WORK/small.rounds")"
echo "Pullmark:        median $PM2_S s ($(rate "$PM2_S") items/s; configuration saved after each, activity and CSV logs on)"
echo "items/s ratio (Pullmark / wget), median of the rounds: $(ratio_median 1 3 "$WORK/small.rounds") (target >= 0.5)"
echo "items/s ratio (Pullmark / bare Qt Network), median of the rounds: $(ratio_median 2 3 "$WORK/small.rounds")"

echo "== Stop latency on a slow transfer"
for run in 1 2 3; do
  "$BIN/pm_queue_bench" stop "$WORK/pm3" "$BASE/drip/slow.bin?size=100000000&chunk=16384&ms=10" > "$WORK/pm3.txt"
  echo "stop to session end: $(field stop_ms "$WORK/pm3.txt") ms (target < 100); files left: $(ls -A "$WORK/pm3" | grep -vc -e '^Pullmark.ini$' -e '^pulmark' || true)"
done
