#!/bin/sh
# Download-queue benchmarks through the Work Queue window's code path (the
# queue model, its view, the statistics and the journal), against wget and
# curl on the same loopback server.
#   bench/queue_bench.sh [BUILD_DIR]
# Needs pm_testserver and pm_queue_bench built in BUILD_DIR (default: build).
# The files go under $TMPDIR (default /tmp); TMPDIR=/dev/shm takes the disk
# out of the figures, which then show the network and processing alone.
#
# Each figure is taken over several rounds; a round runs the reference and
# Pullmark back to back, and the ratio quoted is the median of the rounds'
# ratios, which a machine whose speed drifts between rounds disturbs least.
set -eu
BIN=${1:-build}/bin
WORK=$(mktemp -d)
trap 'kill $SERVER 2>/dev/null; rm -rf "$WORK"' EXIT
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} QTWEBENGINE_DISABLE_SANDBOX=1

"$BIN/pm_testserver" > "$WORK/port" &
SERVER=$!
while [ ! -s "$WORK/port" ]; do sleep 0.05; done
BASE="http://127.0.0.1:$(head -n1 "$WORK/port")"

now() { date +%s.%N; }
since() { echo "$1 $(now)" | awk '{ printf "%.3f\n", $2 - $1 }'; }
field() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column_median() { awk -v c="$1" '{ print $c }' "$2" | median; }
# the median over FILE's lines of column A divided by column B
ratio_median() { awk -v a="$1" -v b="$2" '{ printf "%.4f\n", $a / $b }' "$3" | median | awk '{ printf "%.2f", $1 }'; }
# LIST FILE with N URLs of SIZE bytes, each served after DELAY ms; the round
# number keeps the names of one round apart from the others'.
make_list() {
  i=1; : > "$1"
  while [ "$i" -le "$2" ]; do echo "$BASE/file/r$5-f$i.bin?size=$3&delay=$4" >> "$1"; i=$((i + 1)); done
}
# Pullmark: one session over LIST with PARALLEL downloads; prints seconds.
pullmark() {
  rm -rf "$WORK/pm"
  "$BIN/pm_queue_bench" list "$WORK/pm" "$2" "$1" > "$WORK/pm.txt" 2> /dev/null
  test "$(field items "$WORK/pm.txt")" = "$(wc -l < "$1")"
  field seconds "$WORK/pm.txt"
}
reference() {
  rm -rf "$WORK/ref"
  t0=$(now); wget -q -i "$1" -P "$WORK/ref"; since "$t0"
}

echo "== Queue length: ms per item at 4,000 entries and at 500, 1 at a time (5 rounds)"
: > "$WORK/length.rounds"
for round in 1 2 3 4 5; do
  make_list "$WORK/l500" 500 4096 0 "a$round"
  make_list "$WORK/l4000" 4000 4096 0 "b$round"
  s500=$(pullmark "$WORK/l500" 1); s4000=$(pullmark "$WORK/l4000" 1)
  echo "$s500 $s4000" | awk '{ printf "%.4f %.4f\n", $1 * 1000 / 500, $2 * 1000 / 4000 }' >> "$WORK/length.rounds"
done
echo "rounds (ms per item at 500, at 4,000): $(tr '\n' ';' < "$WORK/length.rounds")"
echo "ms per item: $(column_median 1 "$WORK/length.rounds") at 500, $(column_median 2 "$WORK/length.rounds") at 4,000"
echo "ratio 4,000 / 500, median of the rounds: $(ratio_median 2 1 "$WORK/length.rounds") (target <= 1.2)"

echo "== 2,000 files of 4 KiB (5 rounds)"
# The floor is what Qt Network alone costs for the list: a bare
# QNetworkAccessManager fetching one by one, with none of Pullmark's work.
floor() {
  rm -rf "$WORK/floor"
  "$BIN/pm_queue_bench" floor "$WORK/floor" "$1" > "$WORK/floor.txt" 2> /dev/null
  field seconds "$WORK/floor.txt"
}
: > "$WORK/small.rounds"
for round in 1 2 3 4 5; do
  make_list "$WORK/list" 2000 4096 0 "c$round"
  echo "$(reference "$WORK/list") $(pullmark "$WORK/list" 1) $(pullmark "$WORK/list" 4) $(floor "$WORK/list")" >> "$WORK/small.rounds"
done
echo "rounds (wget s, Pullmark 1 at a time s, 4 at a time s, Qt Network floor s): $(tr '\n' ';' < "$WORK/small.rounds")"
echo "items/s against wget, 1 at a time: $(ratio_median 1 2 "$WORK/small.rounds") (target >= 0.3)"
echo "items/s against wget, 4 at a time: $(ratio_median 1 3 "$WORK/small.rounds") (target >= 0.8)"
echo "for comparison, Qt Network's floor against wget, 1 at a time: $(ratio_median 1 4 "$WORK/small.rounds")"

echo "== 200 files of 64 KiB, the server waiting 20 ms before each (3 rounds)"
: > "$WORK/slow.rounds"
for round in 1 2 3; do
  make_list "$WORK/list" 200 65536 20 "d$round"
  echo "$(reference "$WORK/list") $(pullmark "$WORK/list" 4)" >> "$WORK/slow.rounds"
done
echo "rounds (wget s, Pullmark 4 at a time s): $(tr '\n' ';' < "$WORK/slow.rounds")"
echo "items/s against wget, 4 at a time: $(ratio_median 1 2 "$WORK/slow.rounds") (target >= 3.0)"

echo "== 1 GiB file (3 rounds)"
SIZE=1073741824
: > "$WORK/big.rounds"; : > "$WORK/growth"
for round in 1 2 3; do
  URL="$BASE/file/big$round.bin?size=$SIZE"
  rm -f "$WORK/big.bin"
  t0=$(now); curl -s -o "$WORK/big.bin" "$URL"; curl_s=$(since "$t0")
  test "$(stat -c %s "$WORK/big.bin")" = "$SIZE"
  rm -f "$WORK/big.bin"
  echo "$URL" > "$WORK/one"
  pm_s=$(pullmark "$WORK/one" 1)
  echo "$curl_s $pm_s" >> "$WORK/big.rounds"
  field rss_growth_kb "$WORK/pm.txt" >> "$WORK/growth"
done
echo "rounds (curl s, Pullmark s): $(tr '\n' ';' < "$WORK/big.rounds")"
echo "throughput against curl, median of the rounds: $(ratio_median 1 2 "$WORK/big.rounds") (target >= 0.9)"
echo "resident memory growth, largest of the rounds: $(( $(sort -n "$WORK/growth" | tail -n1) / 1024 )) MiB (target <= 64)"

echo "== A stored queue of 100,000 entries: start-up until the queue window shows, then 25,000 more added, a session started and stopped (3 rounds)"
: > "$WORK/startup.rounds"
for round in 1 2 3; do
  rm -rf "$WORK/st"
  "$BIN/pm_queue_bench" startup "$WORK/st" 100000 > "$WORK/st.txt" 2> /dev/null
  test "$(field items "$WORK/st.txt")" = 100000
  for k in seconds rss_growth_kb add_ms start_ms stop_ms longest_gap_ms; do printf '%s ' "$(field $k "$WORK/st.txt")"; done >> "$WORK/startup.rounds"
  echo >> "$WORK/startup.rounds"
done
echo "rounds (start-up s, memory growth KiB, add ms, start ms, stop ms, longest unanswered ms): $(tr '\n' ';' < "$WORK/startup.rounds")"
echo "start-up to window shown: median $(column_median 1 "$WORK/startup.rounds") s (target <= 1.5)"
echo "memory growth: largest $(( $(awk '{ print $2 }' "$WORK/startup.rounds" | sort -n | tail -n1) / 1024 )) MiB (target <= 100)"
echo "adding 25,000: median $(column_median 3 "$WORK/startup.rounds") ms; starting: median $(column_median 4 "$WORK/startup.rounds") ms; stopping: median $(column_median 5 "$WORK/startup.rounds") ms; longest unanswered while running: median $(column_median 6 "$WORK/startup.rounds") ms (target: each under 100)"

echo "== Stop with 4 downloads in work (3 runs)"
DRIP="$BASE/drip/slow%d.bin?size=100000000&chunk=16384&ms=10"
for run in 1 2 3; do
  rm -rf "$WORK/stop"
  "$BIN/pm_queue_bench" stop "$WORK/stop" 4 $(printf "$DRIP $DRIP $DRIP $DRIP" 1 2 3 4) > "$WORK/stop.txt" 2> /dev/null
  echo "stop to every download ended: $(field stop_ms "$WORK/stop.txt") ms (target < 100)"
done
