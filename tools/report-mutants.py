#!/usr/bin/python3
"""Takes out one error report of the program at a time and runs the unit
suite against each such mutant: the fault sweep must fail with a message,
and no test may crash. The sweep stops at its first failure here
(QZ_SWEEP_FIRST_FAILURE). Not part of make test (it builds and runs the
suite once per report); run it after changing how failures are reported.

    tools/report-mutants.py [--filter GTEST_FILTER]

Prints one line per report (file:line, what failed, and the sweep's first
message) and a summary; exits 1 when a mutant passed the sweep or crashed.
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
        run = subprocess.run(['build/native/qz_tests', '--gtest_brief=1', '--gtest_filter=' + gtest_filter],
                             cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=1800,
                             env=dict(os.environ, QZ_SWEEP_FIRST_FAILURE='1'))
        out = run.stdout.decode(errors='replace')
        if run.returncode < 0 or run.returncode > 1:
            return 'CRASHED (%d)' % run.returncode, out[-300:]
        sweep = re.search(r'^(\S+: call \d+ .*)\n(\s+.*)$', out, re.M)
        if 'FaultSweep' not in out and sweep is None:
            return 'sweep passed' if run.returncode == 0 else 'suite failed, sweep passed', out[-300:]
        return 'caught', (sweep.group(1) + ' / ' + sweep.group(2).strip()) if sweep else out[-200:]
    finally:
        with open(full, 'w', encoding='utf-8') as f:
            f.write(original)


def main(argv):
    gtest_filter = '*'
    if len(argv) == 2 and argv[0] == '--filter':
        gtest_filter = argv[1]
    results = {}
    for path, number in reports():
        verdict, detail = run_mutant(path, number, gtest_filter)
        results[verdict] = results.get(verdict, 0) + 1
        print('%s:%d: %s: %s' % (path, number, verdict, detail.strip().replace('\n', ' | ')[:400]), flush=True)
    subprocess.run(['make', '-s', '-j2', 'build/native/qz_tests'], cwd=ROOT)
    print('report mutants: ' + ', '.join('%d %s' % (n, v) for v, n in sorted(results.items())))
    return 0 if set(results) <= {'caught'} else 1


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
