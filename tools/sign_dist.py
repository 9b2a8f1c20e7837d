#!/usr/bin/python3
"""Puts the programs into the dist folder, signed with a code-signing
certificate or unsigned:

    sign_dist.py [SIGNING] DIST-DIR PROGRAM...
    sign_dist.py [SIGNING] --stamp FILE

  SIGNING    --pfx FILE [--pass-file FILE] [--timestamp-url URL]; without
             --pfx the programs are copied unsigned, the same bytes as built

The first form signs every program (Authenticode, SHA-256, osslsigncode)
into a temporary folder beside DIST-DIR and moves them in only when all are
signed: a missing or unreadable certificate, a wrong password or a time-stamp
server that does not answer stops with a message and status 1, and the dist
folder stays as it was. Signing appends the signature and changes two
header fields, the certificate table entry and the checksum; osslsigncode
remove-signature sets both back (the linker writes a true checksum), and as
the linker pads the file to 512 bytes no padding goes before the signature:
a signature taken off gives the built bytes back (make signing-check).

The second form writes what SIGNING asks for to FILE (which certificate,
by path and contents, and which time-stamp server), only when it differs
from what FILE says: make takes the programs as up to date only when they
were made the way this run asks, signed or not.
"""

import argparse
import hashlib
import os
import shutil
import subprocess
import sys
import tempfile

from make_dist import source_text

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


class Refusal(Exception):
    """A reason not to sign, said as the user can act on it."""


def description():
    """The programs' FileDescription, which Windows shows in the UAC prompt of a signed program."""
    return source_text(os.path.join('shell', 'resources.rc'), r'VALUE "FileDescription",\s*"([^"]+)"',
                       'FileDescription')


def signing_state(args):
    """One line naming how the programs are to be made; a renewed certificate at the same path changes it."""
    if not args.pfx:
        return 'unsigned\n'
    try:
        with open(args.pfx, 'rb') as f:
            digest = hashlib.sha256(f.read()).hexdigest()
    except OSError:
        digest = 'unreadable'
    return 'signed with %s (sha256 %s), time stamp from %s\n' % (
        os.path.abspath(args.pfx), digest, args.timestamp_url or 'nobody')


def write_stamp(path, state):
    """Writes the state to path unless it already says so (its time then stays, and make rebuilds nothing)."""
    try:
        with open(path, encoding='utf-8') as f:
            if f.read() == state:
                return
    except OSError:
        pass
    os.makedirs(os.path.dirname(path) or '.', exist_ok=True)
    with open(path, 'w', encoding='utf-8') as f:
        f.write(state)


def check_readable(what, path):
    """Refuses a file that is missing, is no regular file or cannot be opened, naming it."""
    if not os.path.exists(path):
        raise Refusal('%s=%s does not exist' % (what, path))
    if not os.path.isfile(path):
        raise Refusal('%s=%s is not a file' % (what, path))
    try:
        with open(path, 'rb'):
            pass
    except OSError as e:
        raise Refusal('%s=%s cannot be read: %s' % (what, path, e.strerror))


def password_option(pass_file):
    """osslsigncode's password option: none for no file or an empty one (it refuses an empty file)."""
    if not pass_file:
        return []
    check_readable('SIGN_PASS_FILE', pass_file)
    with open(pass_file, 'rb') as f:
        if not f.read().strip(b'\r\n'):
            return []
    return ['-readpass', pass_file]


def explain(output, args):
    """What osslsigncode's failure means for the user; OpenSSL's reasons read the same in every version."""
    if 'mac verify failure' in output:
        if args.pass_file:
            return 'SIGN_PASS_FILE=%s holds the wrong password for SIGN_PFX=%s' % (args.pass_file, args.pfx)
        return 'SIGN_PFX=%s needs a password: name a file holding it with SIGN_PASS_FILE' % args.pfx
    if 'Failed to extract PKCS#12' in output or 'Failed to read PKCS#12' in output:
        return 'SIGN_PFX=%s cannot be read as a PKCS#12 (.pfx) certificate with its private key' % args.pfx
    if args.timestamp_url and ('timestamp' in output.lower() or 'curl' in output.lower()):
        return 'no time stamp from SIGN_TIMESTAMP_URL=%s' % args.timestamp_url
    return 'osslsigncode failed'


def sign(program, target, args, password):
    """Signs program into target, or raises Refusal with osslsigncode's own lines below the reason."""
    command = ['osslsigncode', 'sign', '-pkcs12', args.pfx] + password + [
        '-h', 'sha256', '-n', description()]
    if args.timestamp_url:
        command += ['-ts', args.timestamp_url]  # RFC 3161, as signtool /tr
    command += ['-in', program, '-out', target]
    try:
        run = subprocess.run(command, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    except FileNotFoundError:
        raise Refusal('osslsigncode is not installed (sh tools/install-deps.sh installs it)')
    if run.returncode != 0 or not os.path.isfile(target):
        detail = '\n'.join('    ' + line for line in run.stdout.splitlines())
        raise Refusal('%s: %s\n%s' % (os.path.basename(program), explain(run.stdout, args), detail))


def make_programs(dist, programs, args):
    """Signs or copies every program into a folder beside dist, then moves them all in."""
    if args.pfx:
        check_readable('SIGN_PFX', args.pfx)
    password = password_option(args.pass_file) if args.pfx else []
    parent = os.path.dirname(os.path.abspath(dist))
    os.makedirs(parent, exist_ok=True)
    work = tempfile.mkdtemp(prefix='.signing-', dir=parent)
    try:
        made = []
        for program in programs:
            target = os.path.join(work, os.path.basename(program))
            if args.pfx:
                sign(program, target, args, password)
            else:
                shutil.copyfile(program, target)
            shutil.copymode(program, target)
            made.append(target)
        os.makedirs(dist, exist_ok=True)
        for target in made:
            os.replace(target, os.path.join(dist, os.path.basename(target)))
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main(argv):
    parser = argparse.ArgumentParser(prog='sign_dist.py')
    parser.add_argument('--pfx')
    parser.add_argument('--pass-file')
    parser.add_argument('--timestamp-url')
    parser.add_argument('--stamp')
    parser.add_argument('dist', nargs='?')
    parser.add_argument('programs', nargs='*')
    args = parser.parse_args(argv)
    # Empty make variables arrive as empty strings.
    args.pfx, args.pass_file, args.timestamp_url = args.pfx or None, args.pass_file or None, args.timestamp_url or None
    if not args.pfx and (args.pass_file or args.timestamp_url):
        raise SystemExit('sign-dist: SIGN_PASS_FILE and SIGN_TIMESTAMP_URL need SIGN_PFX, the certificate to sign with')
    if args.stamp:
        write_stamp(args.stamp, signing_state(args))
        return
    if not args.dist or not args.programs:
        parser.error('name the dist folder and the programs')
    try:
        make_programs(args.dist, args.programs, args)
    except Refusal as e:
        raise SystemExit('sign-dist: %s\nsign-dist: stopped before any program went into %s, which is as it was' % (e, args.dist))
    if args.pfx:
        print('sign-dist: %s signed (Authenticode, SHA-256) with %s' % (
            ', '.join(os.path.basename(p) for p in args.programs), args.pfx))


if __name__ == '__main__':
    main(sys.argv[1:])
