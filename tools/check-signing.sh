#!/bin/sh
# Signs both programs through make dist, into a dist folder of its own, with a
# throwaway code-signing certificate and CA made here in build/ (which git
# ignores; the keys are deleted at the end), and checks what a signed release
# needs:
#   - osslsigncode verify accepts each signed program against that CA, digest
#     SHA-256, and refuses it against another CA;
#   - each program with its signature taken off is the unsigned build byte for
#     byte: signing added nothing but the signature;
#   - the zip holds the signed programs and a SHA256SUMS that sha256sum -c
#     accepts;
#   - each refusal stops make dist with its message and a non-zero status, and
#     leaves the dist folder as it was, with nothing half-signed beside it;
#   - the signing stamp: a signed make dist after an unsigned one signs, and an
#     unsigned one after a signed one gives the unsigned build back.
set -e
top=$(cd "$(dirname "$0")/.." && pwd)
cd "$top"
work=build/signing-check
dist=$work/dist
rm -rf "$work"
mkdir -p "$work"
trap 'rm -f "$work"/*.key "$work"/*.pfx "$work"/password' EXIT

fail() { echo "signing: $*" >&2; exit 1; }
make_dist() { make --no-print-directory -s dist DIST="$dist" "$@"; }
built() { case $1 in QZUninst64.exe) echo build/win64/$1 ;; *) echo build/win32/$1 ;; esac; }
programs="QZUninst.exe QZUninst64.exe"

git check-ignore -q "$work/signer.pfx" || fail "$work is not ignored by git: the throwaway keys would land in the repository"

# The throwaway CA, another CA for the counter-check, and a code-signing
# certificate issued by the first, all valid for a day.
ca() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=$2" \
        -addext 'basicConstraints=critical,CA:TRUE' -addext 'keyUsage=critical,keyCertSign' \
        -keyout "$work/$1.key" -out "$work/$1.crt" 2>/dev/null
}
ca ca 'QZ signing check CA'
ca other-ca 'QZ signing check other CA'
openssl req -newkey rsa:2048 -nodes -subj '/CN=QZ signing check' \
    -keyout "$work/signer.key" -out "$work/signer.csr" 2>/dev/null
printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >"$work/signer.ext"
openssl x509 -req -days 1 -set_serial 1 -in "$work/signer.csr" -CA "$work/ca.crt" -CAkey "$work/ca.key" \
    -extfile "$work/signer.ext" -out "$work/signer.crt" 2>/dev/null
echo 'throwaway password' >"$work/password"
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.crt" -certfile "$work/ca.crt" \
    -passout file:"$work/password" -out "$work/signer.pfx"
echo 'not the password' >"$work/wrong-password"
echo 'no certificate' >"$work/not-a-certificate.pfx"
mkdir "$work/a-folder"

# ---- refusals, from an unsigned dist folder ------------------------------------
make_dist
for p in $programs; do
    cmp -s "$dist/$p" "$(built $p)" || fail "$p: unsigned make dist differs from the build"
done
snapshot() { (cd "$work" && ls -A . && sha256sum dist/*); }
touch "$work/refusal.log"
snapshot >"$work/before"
refused=
while IFS='|' read -r case pfx passfile expected; do
    if make_dist SIGN_PFX="$work/$pfx" SIGN_PASS_FILE="${passfile:+$work/$passfile}" </dev/null >"$work/refusal.log" 2>&1; then
        fail "$case: make dist ended with status 0"
    fi
    grep -q "^sign-dist: .*$expected" "$work/refusal.log" || fail "$case: no message '$expected' in: $(cat "$work/refusal.log")"
    grep -q "^sign-dist: nothing was signed" "$work/refusal.log" || fail "$case: does not say that nothing was signed"
    snapshot | cmp -s - "$work/before" || fail "$case: the dist folder or its neighbours changed: $(snapshot | diff "$work/before" - || true)"
    refused="$refused, $case"
done <<EOF
missing certificate|missing.pfx|password|does not exist
a folder for a certificate|a-folder|password|is not a file
not a certificate|not-a-certificate.pfx|password|cannot be read as a PKCS#12
wrong password|signer.pfx|wrong-password|holds the wrong password
no password|signer.pfx||needs a password
EOF
echo "signing: refused, each with its message, a non-zero status and the dist folder as it was: ${refused#, }"

# ---- signed ----------------------------------------------------------------------
make_dist SIGN_PFX="$work/signer.pfx" SIGN_PASS_FILE="$work/password" >/dev/null
for p in $programs; do
    osslsigncode verify -CAfile "$work/ca.crt" -TSA-CAfile "$work/ca.crt" -in "$dist/$p" >"$work/verify.log" 2>&1 ||
        fail "$p: osslsigncode verify fails against the throwaway CA: $(cat "$work/verify.log")"
    grep -q 'Message digest algorithm: SHA256' "$work/verify.log" || fail "$p: not signed with SHA-256: $(cat "$work/verify.log")"
    grep -q 'Subject: /CN=QZ signing check$' "$work/verify.log" || fail "$p: not signed by the throwaway certificate"
    if osslsigncode verify -CAfile "$work/other-ca.crt" -TSA-CAfile "$work/other-ca.crt" -in "$dist/$p" >/dev/null 2>&1; then
        fail "$p: osslsigncode verify accepts it against a CA that issued nothing"
    fi
    osslsigncode remove-signature -in "$dist/$p" -out "$work/unsigned-$p" >/dev/null
    cmp "$work/unsigned-$p" "$(built $p)" >&2 || fail "$p: without its signature it is not the unsigned build"
    echo "signing: $p signed (SHA-256) and verified against the throwaway CA, refused against another; without its signature, the unsigned build byte for byte"
done

mkdir "$work/unzipped"
python3 -m zipfile -e "$dist"/QZUninst-*.zip "$work/unzipped"
[ "$(ls "$work/unzipped" | tr '\n' ' ')" = "QZUninst.exe QZUninst64.exe ReadMe.txt SHA256SUMS " ] ||
    fail "the zip holds $(ls "$work/unzipped" | tr '\n' ' ')"
for p in $programs; do
    cmp -s "$work/unzipped/$p" "$dist/$p" || fail "$p in the zip is not the signed one"
done
(cd "$work/unzipped" && sha256sum --quiet --strict -c SHA256SUMS) || fail "sha256sum -c refuses the zip's SHA256SUMS"
echo "signing: the zip holds both signed programs, ReadMe.txt and SHA256SUMS, which sha256sum -c accepts"

# ---- unsigned again ------------------------------------------------------------------
make_dist
for p in $programs; do
    cmp -s "$dist/$p" "$(built $p)" || fail "$p: make dist without SIGN_PFX after a signed one kept the signed program"
done
(cd "$dist" && sha256sum --quiet --strict -c SHA256SUMS) || fail "SHA256SUMS does not fit the unsigned programs"
echo "signing: make dist without SIGN_PFX after a signed one gives the unsigned build back"
