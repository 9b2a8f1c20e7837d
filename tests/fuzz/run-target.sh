#!/bin/sh
# run-target.sh TARGET SECONDS MIN_RATE - runs build/fuzz/fuzz_TARGET for
# SECONDS from its seed corpus (new inputs go to build/fuzz/corpus-TARGET) and
# prints what it did, from libFuzzer's own summary:
#   fuzz: inf_text 30 s, 95,123 inputs (3,170/s), corpus 41 files
# Fails when the target finds a crash or a broken check (an abort); warns,
# and does not fail, when it tried fewer than MIN_RATE inputs a second.
set -u
target=$1
seconds=$2
min_rate=$3
log=build/fuzz/$target.log
corpus=build/fuzz/corpus-$target

mkdir -p "$corpus"
if ! "build/fuzz/fuzz_$target" -max_total_time="$seconds" -seed=1 -artifact_prefix=build/fuzz/ \
        "$corpus" "tests/fuzz/corpus/$target" 2>"$log"; then
    tail -40 "$log"
    echo "fuzz: $target FAILED: a crash; the input is in build/fuzz/, the whole log in $log"
    exit 1
fi

# libFuzzer ends with "#95123  DONE   cov: ... corp: 41/14Kb ... exec/s: 3170 ..."
# and "Done 95123 runs in 30 second(s)".
awk -v target="$target" -v min_rate="$min_rate" -v logfile="$log" '
function grouped(n,    s) {
    s = n ""
    while (s ~ /[0-9][0-9][0-9][0-9]/)
        sub(/[0-9][0-9][0-9]($|,)/, ",&", s)
    return s
}
$2 == "DONE" {
    for (i = 3; i < NF; i++) {
        if ($i == "exec/s:") rate = $(i + 1)
        if ($i == "corp:") { split($(i + 1), c, "/"); files = c[1] }
    }
}
$1 == "Done" && $3 == "runs" { runs = $2; secs = $5 }
END {
    if (rate == "" || runs == "") {
        printf "fuzz: %s FAILED: no summary from libFuzzer in %s\n", target, logfile
        exit 1
    }
    printf "fuzz: %s %d s, %s inputs (%s/s), corpus %d files\n", target, secs, grouped(runs), grouped(rate), files
    if (rate + 0 < min_rate + 0)
        printf "fuzz: %s WARNING: under %s inputs a second (a busy machine, or a slow regression)\n", target, grouped(min_rate)
}' "$log"
