#!/bin/sh
# The closing lines of make test: every layer with its verdict and time (from
# the files the timed layers wrote to TIMES), then one line CI can read. Exits
# 1 when a layer failed or did not run.
#   test-summary.sh TIMES LAYER...
times=$1
shift
failed=
echo "== make test, layer by layer:"
for layer in "$@"; do
    if [ -f "$times/$layer" ]; then
        read verdict seconds < "$times/$layer"
    else
        verdict='FAILED (did not run)'; seconds='-'
    fi
    printf '   %-20s %-8s %5s s\n' "$layer" "$verdict" "$seconds"
    [ "$verdict" = passed ] || failed="$failed $layer"
done
[ -f "$times/.start" ] && echo "   (the layers together: $(( $(date +%s) - $(cat "$times/.start") )) s)"
if [ -n "$failed" ]; then
    echo "make test: FAILED:$failed"
    exit 1
fi
echo "make test: passed"
