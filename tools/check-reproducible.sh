#!/bin/sh
# Builds the shipped files a second time, from a copy of the sources in
# another folder, and compares them byte for byte with build/dist: the same
# sources must give the same programs and the same archive (no time stamps,
# no build paths).
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
copy=$(mktemp -d /tmp/qz-reproducible.XXXXXX)
trap 'rm -rf "$copy"' EXIT
cd "$top"
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$copy" 2>/dev/null || true
make -C "$copy" -j"${JOBS:-2}" dist >/dev/null
status=0
for f in build/dist/*; do
    name=$(basename "$f")
    if ! cmp -s "$f" "$copy/build/dist/$name"; then
        echo "reproducible: $name differs when built again from the same sources" >&2
        status=1
    fi
done
[ $status = 0 ] && echo "reproducible: $(ls build/dist | tr '\n' ' ')built twice, the same bytes"
exit $status
