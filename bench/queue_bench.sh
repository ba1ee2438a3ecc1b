#!/bin/sh
# The download figures of the real program against curl, wget and aria2c on
# the same loopback server. Every Pullmark figure is a work session of the
# program's own windows (its main window started with a stored queue, the
# Work Queue window's Start button clicked) on a virtual X display with the
# accessibility bus on (bench/a11y-session.sh), with the files written to the
# disk, the logs and the download archive on.
#
#   bench/queue_bench.sh [BUILD_DIR [FIGURE...]]
#
# FIGURE is any of: big small parallel far startup stop failing floor (default: all
# but floor). ROUNDS sets the rounds of each figure (default 3 for big and
# far, 5 for small and parallel). The files go to a new folder under
# $BENCH_DIR (default: the home folder), which must be on a disk for the
# figures to mean what they say. Not /tmp by default: every test creates and
# removes its temporary folders there, and on ext4 a new file next to many
# just-removed ones can cost milliseconds, whoever creates it. The script
# prints what creating a small file costs where it writes. Nothing is
# removed until the end (the 1 GiB files excepted), so no run pays for the
# removals of the one before; a second run started within half a minute of
# the first one's end does pay for them (the printed cost shows it).
#
# In each round the reference runs right before and right after Pullmark;
# the round's ratio is the reference's mean time over Pullmark's, so a ratio
# of 1.0 is "as fast as the reference", and the figure quoted is the median
# of the rounds' ratios, which a machine whose speed drifts disturbs least.
# The processor seconds (user and system, all threads) of Pullmark's session
# and of the reference are printed too: on a busy machine they say more
# about the cost than the wall times, which then mostly measure the wait for
# a processor.
set -eu
if [ "${PM_A11Y_SESSION:-}" != inner ]; then
  exec "$(dirname "$0")/a11y-session.sh" sh "$0" "$@"
fi
BIN=${1:-build}/bin
[ $# -gt 0 ] && shift
FIGURES=${*:-big small parallel far startup stop failing}
WORK=$(mktemp -d -p "${BENCH_DIR:-$HOME}" pullmark-bench.XXXXXX)
trap 'kill $SERVER 2>/dev/null; rm -rf "$WORK"' EXIT
export QTWEBENGINE_DISABLE_SANDBOX=1

"$BIN/pm_testserver" > "$WORK/port" &
SERVER=$!
while [ ! -s "$WORK/port" ]; do sleep 0.05; done
BASE="http://127.0.0.1:$(head -n1 "$WORK/port")"

echo "machine: $(nproc) cores, $(uptime | sed 's/.*load average/load average/')"
echo "files on: $(df --output=source,fstype "$WORK" | tail -n1) ($WORK)"
case "$(stat -f -c %T "$WORK")" in tmpfs|ramfs) echo "warning: the files are not on a disk" ;; esac

now() { date +%s.%N; }
since() { echo "$1 $(now)" | awk '{ printf "%.3f\n", $2 - $1 }'; }
field() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
column_median() { awk -v c="$1" '{ print $c }' "$2" | median; }
# the median over FILE's lines of column A divided by column B
ratio_median() { awk -v a="$1" -v b="$2" '{ printf "%.4f\n", $a / $b }' "$3" | median | awk '{ printf "%.2f", $1 }'; }
# "met" or "MISSED": whether VALUE OP LIMIT holds (OP is >= or <=)
verdict() { awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN { ok = op == ">=" ? v >= l : v <= l; print ok ? "met" : "MISSED" }'; }
files_in() { find "$1" -maxdepth 1 -type f | wc -l; }
rounds() { echo "${ROUNDS:-$1}"; }
wants() { case " $FIGURES " in *" $1 "*) return 0 ;; *) return 1 ;; esac; }
mkdir "$WORK/probe"
"$BIN/pm_queue_bench" create "$WORK/probe" 500 > "$WORK/probe.txt" 2> /dev/null
echo "creating a file of 4 KiB there: $(field create_us "$WORK/probe.txt" | awk '{ printf "%.0f", $1 }') microseconds"

# LIST FILE with N URLs of SIZE bytes, each answered after DELAY ms; the
# round's tag keeps the names of one round apart from the others'.
make_list() {
  i=1; : > "$1"
  while [ "$i" -le "$2" ]; do echo "$BASE/file/$5-f$i.bin?size=$3&delay=$4" >> "$1"; i=$((i + 1)); done
}

mean() { echo "$1 $2" | awk '{ printf "%.3f\n", ($1 + $2) / 2 }'; }
# Runs a command; prints its wall seconds and leaves its processor seconds
# in $WORK/cpu.
timed() {
  t0=$(now)
  /usr/bin/time -f "%U %S" -o "$WORK/time" "$@"
  s=$(since "$t0")
  awk '{ printf "%.3f\n", $1 + $2 }' "$WORK/time" > "$WORK/cpu"
  echo "$s"
}

# Pullmark: one session over LIST with PARALLEL downloads; prints seconds and
# leaves its report in $WORK/pm.txt.
pullmark() {
  PM=$(mktemp -d -p "$WORK" pm.XXXXXX)
  echo "$PM" > "$WORK/pm.dir"
  "$BIN/pm_queue_bench" list "$PM" "$2" "$1" > "$WORK/pm.txt" 2> "$WORK/pm.err" || {
    cat "$WORK/pm.txt" "$WORK/pm.err" >&2; exit 1; }
  test "$(field accessibility "$WORK/pm.txt")" = on || { echo "accessibility is not on" >&2; exit 1; }
  n=$(wc -l < "$1")
  test "$(field items "$WORK/pm.txt")" = "$n" && test "$(files_in "$PM/files")" = "$n" || {
    echo "Pullmark saved $(files_in "$PM/files") of $n files; the end of its log:" >&2
    tail -n 5 "$PM/pulmark.log" >&2; exit 1; }
  field cpu_seconds "$WORK/pm.txt" > "$WORK/cpu"
  field seconds "$WORK/pm.txt"
}
# A reference tool over LIST: wget (one at a time) or aria2 (four at a time);
# prints seconds.
reference() {
  ref=$(mktemp -d -p "$WORK" ref.XXXXXX)
  case "$1" in
    wget) s=$(timed wget -q -i "$2" -P "$ref") ;;
    aria2) s=$(timed aria2c -q -j4 --console-log-level=error -d "$ref" -i "$2") ;;
  esac
  test "$(files_in "$ref")" = "$(wc -l < "$2")" || { echo "$1 saved $(files_in "$ref") files" >&2; exit 1; }
  echo "$s"
}

if wants big; then
  echo "== One 1 GiB file: curl, Pullmark, curl ($(rounds 3) rounds)"
  SIZE=1073741824
  : > "$WORK/big.rounds"
  for round in $(seq "$(rounds 3)"); do
    URL="$BASE/file/big$round.bin?size=$SIZE"
    curl_once() {
      rm -f "$WORK/big.bin"; s=$(timed curl -s -o "$WORK/big.bin" "$URL")
      test "$(stat -c %s "$WORK/big.bin")" = "$SIZE"; rm -f "$WORK/big.bin"; echo "$s"
    }
    before=$(curl_once); cpu_before=$(cat "$WORK/cpu")
    echo "$URL" > "$WORK/one"
    pm=$(pullmark "$WORK/one" 1); cpu_pm=$(cat "$WORK/cpu")
    PM=$(cat "$WORK/pm.dir")
    test "$(stat -c %s "$PM/files/"big*)" = "$SIZE"
    growth=$(field rss_growth_kb "$WORK/pm.txt")
    rm -f "$PM/files/"big*
    after=$(curl_once); cpu_after=$(cat "$WORK/cpu")
    echo "$(mean "$before" "$after") $pm $growth $before $after $(mean "$cpu_before" "$cpu_after") $cpu_pm" >> "$WORK/big.rounds"
  done
  echo "rounds (curl mean s, Pullmark s, memory growth KiB, curl before s, after s, curl processor s, Pullmark processor s):" \
       "$(tr '\n' ';' < "$WORK/big.rounds")"
  r=$(ratio_median 1 2 "$WORK/big.rounds")
  g=$(( $(awk '{ print $3 }' "$WORK/big.rounds" | sort -n | tail -n1) / 1024 ))
  echo "1 GiB: Pullmark $(column_median 2 "$WORK/big.rounds") s, curl $(column_median 1 "$WORK/big.rounds") s;" \
       "ratio $r (target >= 0.9: $(verdict "$r" '>=' 0.9))"
  echo "1 GiB: memory growth, largest of the rounds: $g MiB (target <= 64: $(verdict "$g" '<=' 64))"
  echo "1 GiB: processor seconds, Pullmark $(column_median 7 "$WORK/big.rounds"), curl $(column_median 6 "$WORK/big.rounds")"
fi

if wants small; then
  echo "== 4 KiB files one at a time: 4,000 with wget -i before and after, and 500 ($(rounds 5) rounds)"
  : > "$WORK/small.rounds"
  for round in $(seq "$(rounds 5)"); do
    make_list "$WORK/l4000" 4000 4096 0 "s$round"
    make_list "$WORK/l500" 500 4096 0 "h$round"
    before=$(reference wget "$WORK/l4000"); cpu_before=$(cat "$WORK/cpu")
    pm4000=$(pullmark "$WORK/l4000" 1); cpu_pm=$(cat "$WORK/cpu")
    after=$(reference wget "$WORK/l4000"); cpu_after=$(cat "$WORK/cpu")
    pm500=$(pullmark "$WORK/l500" 1)
    echo "$(mean "$before" "$after") $pm4000 $pm500 $before $after $(mean "$cpu_before" "$cpu_after") $cpu_pm" \
      | awk '{ printf "%s %s %s %.4f %.4f %s %s %s %s\n", $1, $2, $3, $2 * 1000 / 4000, $3 * 1000 / 500, $4, $5, $6, $7 }' \
      >> "$WORK/small.rounds"
  done
  echo "rounds (wget mean s, Pullmark 4,000 s, Pullmark 500 s, ms per file at 4,000, at 500, wget before s, after s," \
       "wget processor s, Pullmark 4,000 processor s): $(tr '\n' ';' < "$WORK/small.rounds")"
  r=$(ratio_median 1 2 "$WORK/small.rounds")
  echo "4,000 one at a time: Pullmark $(column_median 2 "$WORK/small.rounds") s, wget -i $(column_median 1 "$WORK/small.rounds") s;" \
       "ratio $r (target >= 0.6: $(verdict "$r" '>=' 0.6))"
  r=$(ratio_median 4 5 "$WORK/small.rounds")
  echo "per-file time at 4,000 against 500: $(column_median 4 "$WORK/small.rounds") ms against" \
       "$(column_median 5 "$WORK/small.rounds") ms; ratio $r (target <= 1.2: $(verdict "$r" '<=' 1.2))"
  echo "4,000 one at a time: processor seconds, Pullmark $(column_median 9 "$WORK/small.rounds"), wget $(column_median 8 "$WORK/small.rounds")"
fi

# LIST four at a time against wget -i and aria2c -j4, each run before and
# after Pullmark; appends "wget-mean aria2-mean Pullmark wget... aria2..." to FILE.
four_at_a_time_round() {
  wb=$(reference wget "$1"); cwb=$(cat "$WORK/cpu"); ab=$(reference aria2 "$1"); cab=$(cat "$WORK/cpu")
  pm=$(pullmark "$1" 4); cpm=$(cat "$WORK/cpu")
  aa=$(reference aria2 "$1"); caa=$(cat "$WORK/cpu"); wa=$(reference wget "$1"); cwa=$(cat "$WORK/cpu")
  echo "$(mean "$wb" "$wa") $(mean "$ab" "$aa") $pm $wb $wa $ab $aa $(mean "$cwb" "$cwa") $(mean "$cab" "$caa") $cpm" >> "$2"
}
four_at_a_time_summary() {
  echo "rounds (wget mean s, aria2c mean s, Pullmark s, wget before, after, aria2c before, after," \
       "processor s of wget, aria2c, Pullmark): $(tr '\n' ';' < "$1")"
  rw=$(ratio_median 1 3 "$1"); ra=$(ratio_median 2 3 "$1")
  echo "$2: Pullmark $(column_median 3 "$1") s, wget -i $(column_median 1 "$1") s, aria2c -j4 $(column_median 2 "$1") s;" \
       "against wget $rw (target >= $3: $(verdict "$rw" '>=' "$3")), against aria2c $ra (target >= $4: $(verdict "$ra" '>=' "$4"))"
  echo "$2: processor seconds, Pullmark $(column_median 10 "$1"), wget $(column_median 8 "$1"), aria2c $(column_median 9 "$1")"
}

# One four-at-a-time figure: TITLE, then ROUNDS rounds of COUNT files of SIZE
# bytes, each answered after DELAY ms (names tagged TAG), summed up as NAME
# against its targets over wget and aria2c.
four_at_a_time_figure() {
  echo "== $1 ($2 rounds)"
  : > "$WORK/$3.rounds"
  for round in $(seq "$2"); do
    make_list "$WORK/list" "$4" "$5" "$6" "$3$round"
    four_at_a_time_round "$WORK/list" "$WORK/$3.rounds"
  done
  four_at_a_time_summary "$WORK/$3.rounds" "$7" "$8" "$9"
}

if wants parallel; then
  four_at_a_time_figure "2,000 files of 4 KiB four at a time" "$(rounds 5)" p 2000 4096 0 "2,000 four at a time" 1.0 1.0
fi

if wants far; then
  four_at_a_time_figure "200 files of 64 KiB, the server waiting 20 ms before each answer, four at a time" \
    "$(rounds 3)" d 200 65536 20 "far server" 3.0 1.0
  echo "(the floor, 200 answers of 20 ms four at a time, is 1.00 s)"
fi

if wants floor; then
  # What Qt Network alone costs for the same work: a bare QNetworkAccessManager
  # streaming each body to a new file, no window, no journal, no hashing.
  echo "== Qt Network's floor for the figures above, against the same references ($(rounds 3) rounds)"
  floor() {
    out=$(mktemp -d -p "$WORK" floor.XXXXXX)
    "$BIN/pm_queue_bench" floor "$out" "$2" "$1" > "$WORK/floor.txt" 2> /dev/null
    test "$(field items "$WORK/floor.txt")" = "$(wc -l < "$1")"
    rm -f "$out/"fbig*
    field seconds "$WORK/floor.txt"
  }
  : > "$WORK/floor.rounds"
  for round in $(seq "$(rounds 3)"); do
    echo "$BASE/file/fbig$round.bin?size=1073741824" > "$WORK/one"
    rm -f "$WORK/big.bin"; c=$(timed curl -s -o "$WORK/big.bin" "$(cat "$WORK/one")"); rm -f "$WORK/big.bin"
    make_list "$WORK/l4000" 4000 4096 0 "fs$round"
    make_list "$WORK/l2000" 2000 4096 0 "fp$round"
    echo "$c $(floor "$WORK/one" 1) $(reference wget "$WORK/l4000") $(floor "$WORK/l4000" 1)" \
         "$(reference wget "$WORK/l2000") $(floor "$WORK/l2000" 4)" >> "$WORK/floor.rounds"
  done
  echo "rounds (curl 1 GiB s, floor s, wget 4,000 s, floor one at a time s, wget 2,000 s, floor four at a time s):" \
       "$(tr '\n' ';' < "$WORK/floor.rounds")"
  echo "floor against curl, 1 GiB: $(ratio_median 1 2 "$WORK/floor.rounds");" \
       "against wget, 4,000 one at a time: $(ratio_median 3 4 "$WORK/floor.rounds");" \
       "against wget, 2,000 four at a time: $(ratio_median 5 6 "$WORK/floor.rounds")"
fi

if wants startup; then
  echo "== A stored queue of 100,000 entries: start-up until the queue window shows, then 25,000 more added, a session started and stopped (3 rounds)"
  : > "$WORK/startup.rounds"
  for round in 1 2 3; do
    st=$(mktemp -d -p "$WORK" startup.XXXXXX)
    "$BIN/pm_queue_bench" startup "$st" 100000 > "$WORK/st.txt" 2> /dev/null
    test "$(field items "$WORK/st.txt")" = 100000
    for k in seconds rss_growth_kb add_ms start_ms stop_ms longest_gap_ms; do printf '%s ' "$(field $k "$WORK/st.txt")"; done >> "$WORK/startup.rounds"
    echo >> "$WORK/startup.rounds"
  done
  echo "rounds (start-up s, memory growth KiB, add ms, start ms, stop ms, longest unanswered ms): $(tr '\n' ';' < "$WORK/startup.rounds")"
  echo "start-up to window shown: median $(column_median 1 "$WORK/startup.rounds") s (target <= 1.5)"
  echo "memory growth: largest $(( $(awk '{ print $2 }' "$WORK/startup.rounds" | sort -n | tail -n1) / 1024 )) MiB (target <= 100)"
  echo "adding 25,000: median $(column_median 3 "$WORK/startup.rounds") ms; starting: median $(column_median 4 "$WORK/startup.rounds") ms; stopping: median $(column_median 5 "$WORK/startup.rounds") ms; longest unanswered while running: median $(column_median 6 "$WORK/startup.rounds") ms (target: each under 100)"
fi

if wants stop; then
  echo "== Stop with 4 downloads in work (3 runs)"
  DRIP="$BASE/drip/slow%d.bin?size=100000000&chunk=16384&ms=10"
  for run in 1 2 3; do
    "$BIN/pm_queue_bench" stop "$(mktemp -d -p "$WORK" stop.XXXXXX)" 4 $(printf "$DRIP $DRIP $DRIP $DRIP" 1 2 3 4) > "$WORK/stop.txt" 2> /dev/null
    echo "stop to every download ended: $(field stop_ms "$WORK/stop.txt") ms (target < 100)"
  done
fi
if wants failing; then
  echo "== Failing entries: time per entry at 5,000 and at 50,000, 1 at a time ($(rounds 3) rounds)"
  # Addresses no transfer fetches fail at once: what the queue, its window,
  # the logs and the journal cost per failed entry, which must not grow with
  # the failed entries that stay in the queue before it. The reference is
  # the same session over a tenth of the entries.
  failing() {
    seq 1 "$1" | sed 's|.*|ftp://127.0.0.1/f&.bin|' > "$WORK/fail"
    "$BIN/pm_queue_bench" list "$(mktemp -d -p "$WORK" fail.XXXXXX)" 1 "$WORK/fail" > "$WORK/fail.txt" 2> /dev/null
    test "$(field items "$WORK/fail.txt")" = 0
    field seconds "$WORK/fail.txt" | awk -v n="$1" '{ printf "%.1f\n", $1 * 1e6 / n }'
  }
  : > "$WORK/failing.rounds"
  for round in $(seq "$(rounds 3)"); do
    echo "$(failing 5000) $(failing 50000)" >> "$WORK/failing.rounds"
  done
  echo "rounds (us per entry at 5,000, at 50,000): $(tr '\n' ';' < "$WORK/failing.rounds")"
  echo "us per entry: $(column_median 1 "$WORK/failing.rounds") at 5,000, $(column_median 2 "$WORK/failing.rounds") at 50,000"
  r=$(ratio_median 2 1 "$WORK/failing.rounds")
  echo "ratio 50,000 / 5,000, median of the rounds: $r (target <= 1.2: $(verdict "$r" "<=" 1.2))"
fi
echo "machine at the end: $(uptime | sed 's/.*load average/load average/')"
