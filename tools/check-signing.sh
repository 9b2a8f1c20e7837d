#!/bin/sh
# Signs both programs through make dist, into a dist folder of its own, with a
# throwaway code-signing certificate and CA made here in build/ (which git
# ignores; the keys are deleted at the end), and checks what a signed release
# needs:
#   - osslsigncode verify accepts each signed program against that CA, digest
#     SHA-256, time stamp from a throwaway time-stamp server on this host, and
#     refuses it against another CA;
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
tsa=
locked=
trap '[ -z "$tsa" ] || kill "$tsa"; [ -z "$locked" ] || rm -rf "$locked"; rm -f "$work"/*.key "$work"/*.pfx "$work"/password' EXIT
unset http_proxy HTTP_PROXY all_proxy ALL_PROXY  # the time-stamp server is on this host

fail() { echo "signing: $*" >&2; exit 1; }
make_dist() { make --no-print-directory -s dist DIST="$dist" "$@"; }
built() { case $1 in QZUninst64.exe) echo build/win64/$1 ;; *) echo build/win32/$1 ;; esac; }
programs="QZUninst.exe QZUninst64.exe"

git check-ignore -q "$work/signer.pfx" || fail "$work is not ignored by git: the throwaway keys would land in the repository"

# The throwaway CA, another CA for the counter-check, and a code-signing and
# a time-stamping certificate issued by the first, all valid for a day.
ca() {
    openssl req -x509 -newkey rsa:2048 -nodes -days 1 -subj "/CN=$2" \
        -addext 'basicConstraints=critical,CA:TRUE' -addext 'keyUsage=critical,keyCertSign' \
        -keyout "$work/$1.key" -out "$work/$1.crt" 2>/dev/null
}
ca ca 'QZ signing check CA'
ca other-ca 'QZ signing check other CA'
issue() {
    openssl req -newkey rsa:2048 -nodes -subj "/CN=$2" -keyout "$work/$1.key" -out "$work/$1.csr" 2>/dev/null
    printf 'basicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$3" >"$work/$1.ext"
    openssl x509 -req -days 1 -set_serial "$4" -in "$work/$1.csr" -CA "$work/ca.crt" -CAkey "$work/ca.key" \
        -extfile "$work/$1.ext" -out "$work/$1.crt" 2>/dev/null
}
issue signer 'QZ signing check' codeSigning 1
issue tsa 'QZ signing check time stamps' critical,timeStamping 2
echo 'throwaway password' >"$work/password"
openssl pkcs12 -export -inkey "$work/signer.key" -in "$work/signer.crt" -certfile "$work/ca.crt" \
    -passout file:"$work/password" -out "$work/signer.pfx"
echo 'not the password' >"$work/wrong-password"
echo 'no certificate' >"$work/not-a-certificate.pfx"
mkdir "$work/a-folder"

# The time-stamp server: RFC 3161 replies from openssl ts at /, and 503 elsewhere.
mkdir "$work/tsa"
cat >"$work/tsa.cnf" <<EOF
[ tsa ]
default_tsa = tsa_config
[ tsa_config ]
serial = $work/tsa/serial
signer_cert = $work/tsa.crt
signer_key = $work/tsa.key
certs = $work/ca.crt
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha256
ess_cert_id_alg = sha256
EOF
python3 - "$work/tsa.cnf" >"$work/tsa.port" <<'EOF' &
import http.server, subprocess, sys
class TimeStamps(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers['Content-Length']))
        reply = b''
        if self.path == '/':
            reply = subprocess.run(['openssl', 'ts', '-reply', '-config', sys.argv[1], '-queryfile', '/dev/stdin',
                                    '-out', '/dev/stdout'], input=query, capture_output=True).stdout
        try:
            self.send_response(200 if reply else 503)
            self.send_header('Content-Type', 'application/timestamp-reply')
            self.send_header('Content-Length', str(len(reply)))
            self.end_headers()
            self.wfile.write(reply)
        except BrokenPipeError:
            pass  # osslsigncode hangs up on a 503
    def log_message(self, *args):
        pass
server = http.server.HTTPServer(('127.0.0.1', 0), TimeStamps)
print(server.server_address[1], flush=True)
server.serve_forever()
EOF
tsa=$!
for i in 1 2 3 4 5 6 7 8 9 10; do [ -s "$work/tsa.port" ] && break; sleep 0.5; done
tsa_url=http://127.0.0.1:$(cat "$work/tsa.port")

# ---- refusals, from an unsigned dist folder ------------------------------------
make_dist
for p in $programs; do
    cmp -s "$dist/$p" "$(built $p)" || fail "$p: unsigned make dist differs from the build"
done
snapshot() { (cd "$work" && ls -A . && sha256sum dist/*); }
touch "$work/refusal.log"
snapshot >"$work/before"
refused=
while IFS='|' read -r case pfx passfile url expected; do
    if make_dist SIGN_PFX="$work/$pfx" SIGN_PASS_FILE="${passfile:+$work/$passfile}" SIGN_TIMESTAMP_URL="$url" \
        </dev/null >"$work/refusal.log" 2>&1; then
        fail "$case: make dist ended with status 0"
    fi
    grep -q "^sign-dist: .*$expected" "$work/refusal.log" || fail "$case: no message '$expected' in: $(cat "$work/refusal.log")"
    grep -q "^sign-dist: stopped before any program went into $dist" "$work/refusal.log" || fail "$case: does not say the dist folder is as it was"
    snapshot | cmp -s - "$work/before" || fail "$case: the dist folder or its neighbours changed: $(snapshot | diff "$work/before" - || true)"
    refused="$refused, $case"
done <<EOF
missing certificate|missing.pfx|password||does not exist
a folder for a certificate|a-folder|password||is not a file
not a certificate|not-a-certificate.pfx|password||cannot be read as a PKCS#12
wrong password|signer.pfx|wrong-password||holds the wrong password
no password|signer.pfx|||needs a password
time-stamp server down|signer.pfx|password|$tsa_url/down|no time stamp from
EOF
# Root reads every file: the certificate nobody may read is tried as nobody,
# with copies of the scripts and a program in a folder of /tmp.
locked=$(mktemp -d /tmp/qz-signing.XXXXXX)
cp tools/sign_dist.py tools/make_dist.py build/win32/QZUninst.exe "$locked"
cp "$work/not-a-certificate.pfx" "$locked/locked.pfx"
mkdir "$locked/dist"
chmod -R a+rwX "$locked"
chmod 000 "$locked/locked.pfx"
as_user=
[ "$(id -u)" != 0 ] || as_user="setpriv --reuid=65534 --regid=65534 --clear-groups"
if PYTHONDONTWRITEBYTECODE=1 $as_user /usr/bin/python3 "$locked/sign_dist.py" --pfx "$locked/locked.pfx" "$locked/dist" "$locked/QZUninst.exe" \
    >"$work/refusal.log" 2>&1; then
    fail "certificate nobody may read: signed with it"
fi
grep -q "^sign-dist: SIGN_PFX=$locked/locked.pfx cannot be read: Permission denied" "$work/refusal.log" ||
    fail "certificate nobody may read: no message 'cannot be read' in: $(cat "$work/refusal.log")"
[ "$(ls -A "$locked/dist")" = "" ] && [ "$(ls -A "$locked" | tr '\n' ' ')" = "QZUninst.exe dist locked.pfx make_dist.py sign_dist.py " ] ||
    fail "certificate nobody may read: left $(ls -A "$locked" "$locked/dist" | tr '\n' ' ')"
refused="$refused, certificate nobody may read"
echo "signing: refused, each with its message, a non-zero status and the dist folder as it was: ${refused#, }"

# ---- signed ----------------------------------------------------------------------
make_dist SIGN_PFX="$work/signer.pfx" SIGN_PASS_FILE="$work/password" SIGN_TIMESTAMP_URL="$tsa_url/" >/dev/null
for p in $programs; do
    osslsigncode verify -CAfile "$work/ca.crt" -TSA-CAfile "$work/ca.crt" -in "$dist/$p" >"$work/verify.log" 2>&1 ||
        fail "$p: osslsigncode verify fails against the throwaway CA: $(cat "$work/verify.log")"
    grep -q 'Message digest algorithm: SHA256' "$work/verify.log" || fail "$p: not signed with SHA-256: $(cat "$work/verify.log")"
    grep -q 'Subject: /CN=QZ signing check$' "$work/verify.log" || fail "$p: not signed by the throwaway certificate"
    grep -q 'Timestamp Server Signature verification: ok' "$work/verify.log" || fail "$p: no time stamp"
    if osslsigncode verify -CAfile "$work/other-ca.crt" -TSA-CAfile "$work/other-ca.crt" -in "$dist/$p" >/dev/null 2>&1; then
        fail "$p: osslsigncode verify accepts it against a CA that issued nothing"
    fi
    osslsigncode remove-signature -in "$dist/$p" -out "$work/unsigned-$p" >/dev/null
    cmp "$work/unsigned-$p" "$(built $p)" >&2 || fail "$p: without its signature it is not the unsigned build"
    echo "signing: $p signed (SHA-256, time-stamped) and verified against the throwaway CA, refused against another; without its signature, the unsigned build byte for byte"
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
