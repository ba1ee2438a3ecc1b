#!/bin/sh
# Download-queue benchmarks against curl and wget on the same loopback server.
#   bench/queue_bench.sh [BUILD_DIR]
# Needs pm_testserver and pm_queue_bench built in BUILD_DIR (default: build).
set -eu
BIN=${1:-build}/bin
WORK=$(mktemp -d)
trap 'kill $SERVER 2>/dev/null; rm -rf "$WORK"' EXIT

"$BIN/pm_testserver" > "$WORK/port" &
SERVER=$!
while [ ! -s "$WORK/port" ]; do sleep 0.05; done
BASE="http://127.0.0.1:$(head -n1 "$WORK/port")"

now() { date +%s.%N; }
field() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }

echo "== 1 GiB file"
SIZE=1073741824
URL="$BASE/file/big.bin?size=$SIZE"
mkdir -p "$WORK/curl"
t0=$(now); curl -s -o "$WORK/curl/big.bin" "$URL"; t1=$(now)
CURL_S=$(echo "$t0 $t1" | awk '{ printf "%.3f", $2 - $1 }')
test "$(stat -c %s "$WORK/curl/big.bin")" = "$SIZE"
rm -f "$WORK/curl/big.bin"
"$BIN/pm_queue_bench" session "$WORK/pm1" "$URL" > "$WORK/pm1.txt"
test "$(stat -c %s "$WORK/pm1/big.bin?size=$SIZE")" = "$SIZE"
rm -f "$WORK/pm1/big.bin?size=$SIZE"
PM_S=$(field seconds "$WORK/pm1.txt")
IDLE=$(field idle_rss_kb "$WORK/pm1.txt")
PEAK=$(field peak_rss_kb "$WORK/pm1.txt")
echo "curl:     $CURL_S s ($(echo "$CURL_S" | awk '{ printf "%.0f", 1024 / $1 }') MiB/s)"
echo "Pullmark: $PM_S s ($(echo "$PM_S" | awk '{ printf "%.0f", 1024 / $1 }') MiB/s)"
echo "throughput ratio (Pullmark / curl): $(echo "$CURL_S $PM_S" | awk '{ printf "%.2f", $1 / $2 }') (target >= 0.8)"
echo "resident memory: idle $IDLE KiB, peak $PEAK KiB, growth $(( (PEAK - IDLE) / 1024 )) MiB (target <= 64)"

echo "== 2,000 files of 4 KiB (median of 3 rounds)"
N=2000
i=1; : > "$WORK/list"
while [ $i -le $N ]; do echo "$BASE/file/f$i.bin?size=4096" >> "$WORK/list"; i=$((i + 1)); done
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
: > "$WORK/wget.s"; : > "$WORK/floor.s"; : > "$WORK/pm.s"; : > "$WORK/pmnosave.s"
for round in 1 2 3; do
  rm -rf "$WORK/wget" "$WORK/floor" "$WORK/pm2" "$WORK/pm2b"
  t0=$(now); wget -q -i "$WORK/list" -P "$WORK/wget"; t1=$(now)
  echo "$t0 $t1" | awk '{ printf "%.3f\n", $2 - $1 }' >> "$WORK/wget.s"
  test "$(ls "$WORK/wget" | wc -l)" = "$N"
  # The smallest Qt downloader: bare Qt Network, one new file per body.
  "$BIN/pm_queue_bench" floor "$WORK/floor" "$WORK/list" > "$WORK/floor.txt"
  test "$(field items "$WORK/floor.txt")" = "$N"
  field seconds "$WORK/floor.txt" >> "$WORK/floor.s"
  "$BIN/pm_queue_bench" list "$WORK/pm2" "$WORK/list" > "$WORK/pm2.txt"
  test "$(ls "$WORK/pm2" | grep -c '^f')" = "$N"
  field seconds "$WORK/pm2.txt" >> "$WORK/pm.s"
  # Where the time goes: the same session without the configuration saves.
  PM_BENCH_NO_SAVE=1 "$BIN/pm_queue_bench" list "$WORK/pm2b" "$WORK/list" > "$WORK/pm2b.txt"
  field seconds "$WORK/pm2b.txt" >> "$WORK/pmnosave.s"
done
WGET_S=$(median < "$WORK/wget.s")
FLOOR_S=$(median < "$WORK/floor.s")
PM2_S=$(median < "$WORK/pm.s")
PM2B_S=$(median < "$WORK/pmnosave.s")
rate() { echo "$N $1" | awk '{ printf "%.0f", $1 / $2 }'; }
ratio() { echo "$1 $2" | awk '{ printf "%.2f", $1 / $2 }'; }
echo "wget:               $WGET_S s ($(rate "$WGET_S") items/s)"
echo "bare Qt Network:    $FLOOR_S s ($(rate "$FLOOR_S") items/s; ratio to wget $(ratio "$WGET_S" "$FLOOR_S"))"
echo "Pullmark:           $PM2_S s ($(rate "$PM2_S") items/s; configuration saved after each, activity and CSV logs on)"
echo "items/s ratio (Pullmark / wget): $(ratio "$WGET_S" "$PM2_S") (target >= 0.5)"
echo "items/s ratio (Pullmark / bare Qt Network): $(ratio "$FLOOR_S" "$PM2_S")"
echo "  breakdown: without the configuration saves $PM2B_S s; the saves cost $(echo "$PM2_S $PM2B_S $N" | awk '{ printf "%.2f", ($1 - $2) * 1000 / $3 }') ms each"

echo "== Stop latency on a slow transfer"
for run in 1 2 3; do
  "$BIN/pm_queue_bench" stop "$WORK/pm3" "$BASE/drip/slow.bin?size=100000000&chunk=16384&ms=10" > "$WORK/pm3.txt"
  echo "stop to session end: $(field stop_ms "$WORK/pm3.txt") ms (target < 100); files left: $(ls -A "$WORK/pm3" | grep -vc -e '^Pullmark.ini$' -e '^pulmark' || true)"
done
