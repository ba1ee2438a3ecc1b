#!/bin/sh
# Prints how large the tests are against the code they test: lines of C++
# (.cpp and .h) and JavaScript (.js) in tests/, its support included, divided
# by those in core/, gui/, app/, archive/ and tools/ (the scan scripts in
# core/ are program code like any other). Benchmarks (bench/) count on
# neither side. Aim: between 0.25 and 0.35.
cd "$(dirname "$0")/.." || exit 1
lines() { find "$@" -type f \( -name '*.cpp' -o -name '*.h' -o -name '*.js' \) -exec cat {} + | wc -l; }
tests=$(lines tests)
code=$(lines core gui app archive tools)
awk -v t="$tests" -v c="$code" 'BEGIN { printf "tests %d / code %d = %.2f\n", t, c, t / c }'
