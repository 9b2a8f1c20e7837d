#!/usr/bin/python3
"""End-to-end runs of the uninstaller under Wine, one per scenario folder.

    run_scenarios.py [--keep] [NAME ...]

For every scenario (all folders of scenarios/ that hold a `scenario` file,
or only the NAMEs given): copy the pristine prefix, set the Windows version
for the program, import the registry files, lay down the files, run the
program through the box pilot, and compare the boxes, the exit code, the
restart request, the log and the end state (all of HKLM and the Windows
directory) with what the scenario expects (harness.py does all of that).
`wow64 yes` scenarios run the 32-bit program on 64-bit Windows (a 64-bit
prefix), which hands over to the 64-bit one; where 32-bit Wine cannot run
(or WINE_PATH=64 plays such a host) they run the 64-bit program directly,
everything but the hand-over checked, and `wow64 alone` ones are skipped.
A run of all scenarios also runs the Windows-behaviour checks of
tests/conformance/ on Wine (win32-conformance or win64-conformance, for the
prefix's architecture). Scenarios run QZ_WINE_JOBS at a time (2 unless
set), each in its own prefix (a copy of the pristine one, so with a
wineserver of its own) on its own X display.

One line per scenario (PASS, FAIL, TODO for a wine-todo that differs from
Windows in the files its wine-keeps lines pin and nowhere else, SKIP), then which
programs ran in which prefix, and last the counts: folders, run, passed,
failed, wine-todo, skipped as sim-only and as hand-over, and the time. The
exit code is 1 when a scenario or the conformance checks failed. Artifacts
(pilot script and output, screenshots, registry and file listings) go to
build/wine-artifacts/<scenario>/.
"""

import collections
import concurrent.futures
import os
import subprocess
import sys
import threading
import time

import harness

SCENARIOS = os.path.join(harness.ROOT, 'scenarios')


def scenario_folders(names):
    if names:
        folders = []
        for n in names:
            # A name under scenarios/, or the path of a scenario folder elsewhere.
            folder = n if os.sep in n else os.path.join(SCENARIOS, n)
            if not os.path.isfile(os.path.join(folder, 'scenario')):
                raise SystemExit('wine: no scenario %s' % n)
            folders.append(folder)
        return folders
    return [os.path.join(SCENARIOS, n) for n in sorted(os.listdir(SCENARIOS))
            if os.path.isfile(os.path.join(SCENARIOS, n, 'scenario'))]


PRINTING = threading.Lock()


def say(line, more=()):
    """A result line, and the lines that detail it, indented (whole, while
    other scenarios run beside it)."""
    with PRINTING:
        print('\n'.join([line] + ['    ' + m for m in more]), flush=True)


def run_conformance(wine):
    """The checks of Windows behaviour that the unit suite runs on the
    simulated PC (tests/conformance/), here on Wine: a difference means the
    simulated PC departs from Wine. Prints its line; returns 'passed' or
    'failed'."""
    name = wine.arch + '-conformance'
    program = os.path.join(harness.BUILD, 'win32', 'conformance.exe') if wine.arch == 'win32' else \
        os.path.join(harness.BUILD, 'win64', 'conformance64.exe')
    if not os.path.exists(program):
        problems = ['%s is missing (make wine-test builds it)' % os.path.relpath(program, harness.ROOT)]
    else:
        with harness.scratch_prefix(wine, 'conformance') as (prefix, _):
            out = wine.run(prefix.path, [harness.windows_path(program)], timeout=120)
        lines = out.stdout.decode('utf-8', errors='replace').strip().split('\n')
        problems = [] if out.returncode == 0 and lines and lines[-1].endswith(' 0 failed') else \
            [l for l in lines if l.startswith('conformance')] or ['it ended with %d' % out.returncode]
    if problems:
        say('FAIL %s: %s' % (name, problems[0]), problems[1:])
        return 'failed'
    say('PASS %s (the simulated PC\'s Windows behaviour, checked on Wine)' % name)
    return 'passed'


def run_folder(folder, wine, handover, no_handover, keep, ran, alone=None):
    """Runs the scenario of FOLDER the way it asks for (adding that way to the
    set RAN) and prints its lines. Returns its verdict: passed, failed,
    wine-todo, sim-only or hand-over (the last two skipped)."""
    name = os.path.basename(folder)
    t0 = time.time()
    try:
        sc = harness.read_scenario(folder)
    except (harness.ScenarioError, ValueError, OSError) as e:
        say('FAIL %s: the scenario cannot be read: %s' % (name, e))
        return 'failed'
    if sc['sim_only']:
        say('SKIP %s (simulated PC only: %s)' % (name, sc['sim_only']))
        return 'sim-only'
    way = (alone if sc['wow64_alone'] else handover) if sc['wow64'] else wine
    if not way:
        # Never a pass: the hand-over was not tried here.
        say('SKIP %s: %s' % (name, no_handover))
        return 'hand-over'
    try:
        if way.missing():
            raise RuntimeError('%s is missing (make wine-test builds it)' % way.missing()[0])
        way.ensure_pristine()
        ran.add(way)
        way.locale = sc['locale']
        problems = harness.run_scenario(way, sc, keep)
    except (RuntimeError, harness.ScenarioError, OSError, subprocess.SubprocessError) as e:
        problems = ['the run broke off: %s' % e]
    took = time.time() - t0
    direct = '; QZUninst64.exe started directly, the hand-over not tried' if way.direct and sc['wow64'] else ''
    if problems:
        say('FAIL %s (%.1f s): %s' % (name, took, problems[0]), problems[1:])
        return 'failed'
    if sc['wine_todo']:
        # It passed against the Wine expectation: it differs from Windows in
        # the files its wine-keeps lines pin, and nowhere else.
        say('TODO %s (%.1f s%s): differs as known only, in %d file%s Wine keeps (%s)'
            % (name, took, direct, len(sc['wine_keeps']), '' if len(sc['wine_keeps']) == 1 else 's', sc['wine_todo']))
        return 'wine-todo'
    if direct:
        unchecked = len(harness.handover_lines(sc))
        say('PASS %s (%.1f s%s%s)' % (name, took, direct, ': %d log line%s of it unchecked'
                                       % (unchecked, '' if unchecked == 1 else 's') if unchecked else ''))
        return 'passed-direct'
    say('PASS %s (%.1f s)' % (name, took))
    return 'passed'


class Worker:
    """The ways of running of one scenario at a time, with an X display of
    their own: a box of another scenario never shows in its screenshots."""

    def __init__(self):
        self.wine = harness.main_wine()
        self.handover, self.no_handover = harness.handover_wine()
        self.alone, _ = harness.handover_wine(alone=True)
        self.wine.start_display()
        for other in (self.handover, self.alone):
            if other:
                other.display = self.wine.display

    def ways(self):
        return [w for w in (self.wine, self.handover, self.alone) if w]


def run_all(folders, conformance_too, keep, jobs):
    """Runs the scenarios JOBS at a time (and the conformance checks first,
    when CONFORMANCE_TOO). Returns (the verdicts, the conformance verdict or
    None, the ways of running that ran, the first worker)."""
    workers = [Worker() for _ in range(max(1, min(jobs, len(folders) + conformance_too)))]
    idle = list(workers)
    lock = threading.Lock()
    ran = set()
    verdicts = collections.Counter()
    conformance = []

    def task(job):
        with lock:
            w = idle.pop()
        try:
            if job is None:
                conformance.append(run_conformance(w.wine))
            else:
                way_ran = set()
                verdict = run_folder(job, w.wine, w.handover, w.no_handover, keep, way_ran, w.alone)
                with lock:
                    verdicts[verdict] += 1
                    ran.update(way_ran)
        finally:
            with lock:
                idle.append(w)

    try:
        # The pristine prefixes first, once, before any copy of them.
        if conformance_too:
            workers[0].wine.ensure_pristine()
        jobs_list = ([None] if conformance_too else []) + folders
        with concurrent.futures.ThreadPoolExecutor(len(workers)) as pool:
            for f in [pool.submit(task, j) for j in jobs_list]:
                f.result()
    finally:
        for w in workers:
            w.wine.stop_display()
    return verdicts, (conformance[0] if conformance else None), ran, workers[0]


def main(argv):
    keep = '--keep' in argv
    names = [a for a in argv if not a.startswith('--')]
    folders = scenario_folders(names)
    first = harness.main_wine()
    if first.missing():
        raise SystemExit('wine: %s is missing (make wine-test builds it)' % first.missing()[0])
    jobs = int(os.environ.get('QZ_WINE_JOBS') or 2)
    started = time.time()
    # Each pristine prefix is made once, before scenarios copy it at once.
    first.ensure_pristine()
    handover, no_handover = harness.handover_wine()
    if handover and not handover.missing():
        handover.ensure_pristine()
    verdicts, conformance, ran, worker = run_all(folders, not names, keep, jobs)

    # Which programs ran, so that a log shows which path it covered.
    described = {}
    for way in ran:
        described.setdefault(way.program, way.describe())
    what = [worker.wine.describe()] if worker.wine.program in described else []
    for label, way in (('hand-over scenarios', worker.handover), ('without the 64-bit program', worker.alone)):
        if way and way.program in described and way.program != worker.wine.program:
            what.append(label + ': ' + way.describe())
    if verdicts['hand-over']:
        what.append('hand-over scenarios skipped: ' + no_handover)
    print('wine: ' + ('; '.join(what) or 'no program ran'))
    passed = verdicts['passed'] + verdicts['passed-direct']
    run = passed + verdicts['failed'] + verdicts['wine-todo']
    print('wine: %d scenario folder%s %s, %d run: %d passed%s, %d failed, %d wine-todo; '
          '%d sim-only skipped, %d hand-over skipped; %s%.0f s in all (%d at a time)'
          % (len(folders), '' if len(folders) == 1 else 's', 'named' if names else 'found',
             run, passed,
             ' (%d of them without the hand-over)' % verdicts['passed-direct'] if verdicts['passed-direct'] else '',
             verdicts['failed'],
             verdicts['wine-todo'], verdicts['sim-only'], verdicts['hand-over'],
             '%s-conformance %s; ' % (first.arch, conformance) if conformance else '',
             time.time() - started, jobs))
    return 1 if verdicts['failed'] or conformance == 'failed' else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
