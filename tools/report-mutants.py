#!/usr/bin/python3
"""Takes out one error report of the program at a time and runs the unit
suite against each such mutant: the fault sweep must fail with a message,
and no test may crash. The sweep stops at its first failure here
(QZ_SWEEP_FIRST_FAILURE); a mutant it lets pass is run against the rest
of the unit suite, to tell a report no test reaches from one that only a
hand-written test reaches. Not part of make test (it builds and runs the
suite once per report); run it after changing how failures are reported.

    tools/report-mutants.py [--filter GTEST_FILTER] [FILE[:LINE] ...]

FILE or FILE:LINE (as printed) take only those reports. Prints one line per
report (file:line, its verdict, and the first message that caught it) and a
summary; exits 1 when a mutant passed the sweep, crashed or timed out.
"""

import os
import re
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
REPORT = re.compile(r'report_(registry_)?failure\([^;]*\);')


def logic_dirs():
    """The program's source folders, as the Makefile lists them."""
    out = subprocess.run(['make', '-s', '--no-print-directory', 'print-logic-dirs'], cwd=ROOT,
                         stdout=subprocess.PIPE, check=True)
    return out.stdout.decode().split()


def reports():
    for folder in logic_dirs():
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            if not name.endswith('.cpp') or name == 'error_report.cpp':
                continue
            path = os.path.join(folder, name)
            with open(os.path.join(ROOT, path), encoding='utf-8') as f:
                for number, line in enumerate(f.read().split('\n'), 1):
                    if REPORT.search(line):
                        yield path, number


def run_tests(gtest_filter):
    """(verdict or None, output) of one run of the unit suite."""
    try:
        run = subprocess.run(['build/native/qz_tests', '--gtest_brief=1', '--gtest_filter=' + gtest_filter],
                             cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=1800,
                             env=dict(os.environ, QZ_SWEEP_FIRST_FAILURE='1'))
    except subprocess.TimeoutExpired as e:
        return 'TIMED OUT', (e.stdout or b'').decode(errors='replace')
    out = run.stdout.decode(errors='replace')
    if run.returncode < 0 or run.returncode > 1:
        return 'CRASHED (%d)' % run.returncode, out
    return ('failed' if run.returncode else None), out


def first_message(out):
    """The sweep's first rerun that failed, or the first failure of any test."""
    sweep = re.search(r'^(\S+: call \d+ .*)\n(\s+.*)$', out, re.M)
    if sweep:
        return sweep.group(1) + ' / ' + sweep.group(2).strip()
    failure = re.search(r'^\S+:\d+: Failure\n(.*(?:\n(?!\[).*){0,3})', out, re.M)
    return failure.group(1) if failure else out[-300:]


def run_mutant(path, number, gtest_filter):
    full = os.path.join(ROOT, path)
    with open(full, encoding='utf-8') as f:
        original = f.read()
    lines = original.split('\n')
    lines[number - 1] = REPORT.sub('(void)0; /* report taken out */', lines[number - 1])
    try:
        with open(full, 'w', encoding='utf-8') as f:
            f.write('\n'.join(lines))
        build = subprocess.run(['make', '-s', '-j2', 'build/native/qz_tests'], cwd=ROOT,
                               stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if build.returncode != 0:
            return 'build failed', build.stdout.decode(errors='replace')[-300:]
        verdict, out = run_tests('FaultSweep.*')
        if verdict == 'failed':
            return 'caught', first_message(out)
        if verdict:
            return verdict, out[-300:]
        verdict, out = run_tests(gtest_filter + '-FaultSweep.*')
        if verdict == 'failed':
            return 'sweep passed, caught by another test', first_message(out)
        return verdict or 'sweep passed', out[-300:]
    finally:
        with open(full, 'w', encoding='utf-8') as f:
            f.write(original)


def main(argv):
    gtest_filter = '*'
    if len(argv) >= 2 and argv[0] == '--filter':
        gtest_filter, argv = argv[1], argv[2:]
    results = {}
    for path, number in reports():
        if argv and path not in argv and '%s:%d' % (path, number) not in argv:
            continue
        verdict, detail = run_mutant(path, number, gtest_filter)
        results[verdict] = results.get(verdict, 0) + 1
        print('%s:%d: %s: %s' % (path, number, verdict, detail.strip().replace('\n', ' | ')[:400]), flush=True)
    subprocess.run(['make', '-s', '-j2', 'build/native/qz_tests'], cwd=ROOT)
    print('report mutants: ' + ', '.join('%d %s' % (n, v) for v, n in sorted(results.items())))
    return 0 if set(results) <= {'caught', 'sweep passed, caught by another test'} else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
