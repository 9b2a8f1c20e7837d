#!/usr/bin/python3
"""make demo: the uninstaller under Wine on an embedded default PC.

    demo.py [--family xp|98] [--args TAIL]

Makes a Wine prefix from the PC image of demo/<family>/ (a scenario folder:
a Windows XP or Windows 98 PC with both Pelto QZ products installed and the
ordinary rest of a PC), runs the program through the box pilot with "-C" (XP)
or no option (98), or with TAIL, and prints every box with the answer given,
then what the run removed, from a before/after comparison of HKLM and the
Windows directory, and the exit code.

With a display (DISPLAY set) and a terminal, a person answers the real boxes.
Otherwise the run goes on a private Xvfb and every box is answered OK except
the restart question, answered Cancel. QZ_DEMO_HEADLESS=1 forces the latter.

Everything the run leaves goes to build/demo/: shots/box-N.png (each box, cut
out of the screen), the pilot's script and output, before.txt and after.txt,
and the prefix itself (build/demo/prefix) to look at afterwards.
"""

import argparse
import os
import re
import shutil
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness   # noqa: E402  (Wine, prefixes, the pilot, state capture)

DEMO = os.path.join(harness.ROOT, 'demo')
OUT = os.path.join(harness.BUILD, 'demo')
FAMILIES = {'xp': 'xp', 'nt': 'xp', '98': '98', 'me': '98'}
VERSION_NAMES = {'winxp': 'Windows XP', 'win98': 'Windows 98'}
# The restart question ends with this: answering it OK on its own would ask
# Wine to end its session, so the unattended demo answers it Cancel.
RESTART_QUESTION = '今すぐに再起動しますか'
HEADLESS_TIMEOUT_S = 120
PERSON_TIMEOUT_S = 3600


def say(text=''):
    print(text, flush=True)


# --------------------------------------------------------------------------
# What runs, and how the boxes are answered

def explain_program(wine):
    """Which program runs in which prefix, and why, for the header."""
    if wine.arch == 'win32' and not wine.why:
        return wine.describe() + ': the 32-bit program as shipped.'
    if wine.arch == 'win64' and wine.why.startswith(harness.NO_32BIT):
        return (wine.describe() + ';\n'
                '            the 64-bit build of the same sources stands in for the shipped 32-bit program.')
    return wine.describe() + '.'


def person_answers():
    if os.environ.get('QZ_DEMO_HEADLESS'):
        return False
    return bool(os.environ.get('DISPLAY')) and sys.stdin.isatty() and sys.stdout.isatty()


def answering(person, answer_file):
    """The pilot's lines that say who answers the boxes: the person (the hook
    notes the button pressed), or the pilot by the box's text."""
    if person:
        return ['user ' + harness.windows_path(answer_file)]
    return ['cancel-if ' + RESTART_QUESTION, 'otherwise OK']


class BoxPrinter:
    """Prints the pilot's output lines as they come: each box, then its answer."""

    def __init__(self, shots, person):
        self.shots = shots
        self.person = person
        self.done = 0
        self.boxes = []      # as harness.parse_box reads them
        self.answers = []
        self.exit_code = None
        self.errors = []

    def __call__(self, output_path):
        if not os.path.exists(output_path):
            return
        with open(output_path, encoding='utf-8', errors='replace') as f:
            lines = f.read().split('\n')
        complete = lines[:-1]          # the last piece may be half written
        for line in complete[self.done:]:
            self.line(line)
        self.done = len(complete)

    def line(self, line):
        word, _, rest = line.partition(' ')
        if word == 'box':
            box = harness.parse_box(rest)
            buttons = box['buttons']
            self.boxes.append(box)
            say('Box %d  [%s, %s icon]  %s' % (len(self.boxes), {'OKCANCEL': 'OK/Cancel'}.get(buttons, buttons),
                                              box['icon'], box['caption']))
            for text_line in box['text'].split('\n'):
                say('    | ' + text_line)
            if self.person and buttons != 'OK':
                say('    (answer it in the box on your display)')
        elif word == 'answer':
            self.answers.append(rest)
            say('    answer: %s    screenshot: %s' % (rest, os.path.relpath(
                os.path.join(self.shots, 'box-%d.png' % len(self.boxes)), harness.ROOT)))
        elif word == 'exit':
            self.exit_code = int(rest)
        elif word == 'error':
            self.errors.append(rest)
            say('    pilot: ' + rest)


# --------------------------------------------------------------------------
# The removal report

ENUM_INSTANCE = re.compile(r'^(?:system\\(?:currentcontrolset|controlset\d{3})\\)?enum\\[^\\]+\\[^\\]+\\[^\\]+$')


def image_keys(sc):
    """The keys the image's registry files name (lower case, below HKLM)."""
    keys = set()
    for path in sc['registry']:
        with open(path, encoding='latin-1') as f:
            for line in f:
                m = re.match(r'^\[HKEY_LOCAL_MACHINE\\(.*)\]\s*$', line)
                if m:
                    keys.add(m.group(1).lower())
    return keys


def removal_report(sc, prefix, reg_before, reg_after, files_before, files_after):
    """Prints what went, grouped and counted, and what else changed."""
    gone = {k for k in reg_before if k not in reg_after and not harness.volatile(k)}
    tops = sorted(k for k in gone if k.rpartition('\\')[0] not in gone)

    devices = sorted(k for k in gone if ENUM_INSTANCE.match(k))
    say('Device instances removed: %d' % len(devices))
    for k in devices:
        name, values = reg_before[k]
        desc = values.get('devicedesc', ('', ''))[1].strip('"')
        say('    %s%s' % (name, '  (%s)' % desc if desc else ''))

    say('Registry keys removed: %d, in %d subtrees' % (len(gone), len(tops)))
    for top in tops:
        below = [k for k in gone if k.startswith(top + '\\')]
        values = sum(len(reg_before[k][1]) for k in [top] + below)
        detail = []
        if below:
            detail.append('%d key%s below' % (len(below), 's' if len(below) > 1 else ''))
        if values:
            detail.append('%d value%s' % (values, 's' if values > 1 else ''))
        say('    HKLM\\%s%s' % (reg_before[top][0], '  (%s)' % ', '.join(detail) if detail else ''))

    lost_values, changed_values, new_values = [], [], []
    for k, (name, values) in sorted(reg_before.items()):
        if k in gone or k not in reg_after or harness.volatile(k):
            continue
        after = reg_after[k][1]
        for v, (vname, data) in sorted(values.items()):
            if v not in after:
                lost_values.append('HKLM\\%s  "%s"' % (name, vname))
            elif after[v][1] != data:
                changed_values.append('HKLM\\%s  "%s"' % (name, vname))
        for v, (vname, _) in sorted(after.items()):
            if v not in values:
                new_values.append('HKLM\\%s  "%s"' % (name, vname))
    say('Registry values removed from keys that stay: %d' % len(lost_values))
    for v in lost_values:
        say('    ' + v)

    removed_files = sorted(k for k, entry in files_before.items() if k not in files_after and entry[1] == 'file')
    say('Files removed: %d' % len(removed_files))
    by_dir = {}
    for k in removed_files:
        directory, _, name = files_before[k][0].rpartition('/')
        by_dir.setdefault(directory, []).append(name)
    for directory in sorted(by_dir):
        shown = 'C:\\' + os.path.relpath(directory, os.path.join(prefix.path, 'drive_c')).replace('/', '\\')
        say('    %s (%d): %s' % (shown, len(by_dir[directory]), ', '.join(sorted(by_dir[directory], key=str.lower))))

    # Everything else must be as it was.
    others = []
    others += ['value changed: ' + v for v in changed_values]
    others += ['value added: ' + v for v in new_values]
    others += ['key added: HKLM\\' + reg_after[k][0] for k in sorted(reg_after)
               if k not in reg_before and not harness.volatile(k)]
    for k, (full, kind, attrs, digest) in sorted(files_before.items()):
        if k in files_after and k not in removed_files:
            _, kind_after, attrs_after, digest_after = files_after[k]
            if kind_after != kind or digest_after != digest:
                others.append('changed: C:\\' + k)
            elif attrs_after != attrs:
                others.append('attributes %s -> %s: C:\\%s' % (harness.attribute_names(attrs),
                                                               harness.attribute_names(attrs_after), k))
        elif k not in files_after and kind == 'dir':
            others.append('directory removed: C:\\' + k)
    others += ['added: C:\\' + k for k in sorted(files_after) if k not in files_before]

    keys = image_keys(sc)
    kept_image_keys = [k for k in keys if k not in gone]
    kept_image_files = [p for p, _, _ in sc['files'] if prefix.key_of(prefix.unix(p)) in files_after]
    say('Everything else: %d registry keys of HKLM and %d files and folders of C:\\windows stay;'
        % (len([k for k in reg_after if not harness.volatile(k)]), len(files_after)))
    say('    of the image itself, %d of its %d keys and %d of its %d files are still there;'
        % (len(kept_image_keys), len(keys), len(kept_image_files), len(sc['files'])))
    if others:
        say('    other changes (%d):' % len(others))
        for o in others:
            say('        ' + o)
    else:
        say('    nothing else was changed or added.')


def print_log(prefix):
    """The run's block of QZUninst.log (the temporary folder of the prefix's user)."""
    logs = harness.find_logs(prefix)
    if not logs:
        say('(no log was written)')
    for path in logs:
        say('%s:' % prefix.c_path(path))
        for line in harness.log_lines(path):
            if line:
                say('    ' + line)


# --------------------------------------------------------------------------

def run_demo(wine, sc, person, default_run):
    shutil.rmtree(OUT, ignore_errors=True)
    artifacts = OUT
    os.makedirs(artifacts)
    gate, shots = harness.pilot_folders(artifacts)
    prefix = harness.Prefix(os.path.join(artifacts, 'prefix'))

    t0 = time.time()
    wine.copy_pristine(prefix.path)
    harness.setup_prefix(wine, sc, prefix, artifacts)
    reg_before, files_before = harness.capture_state(prefix, os.path.join(artifacts, 'before.txt'))
    say('The PC is ready (%.0f s): %s, with %d registry keys and %d files of its own image.'
        % (time.time() - t0, VERSION_NAMES.get(sc['version'], sc['version']),
           len(image_keys(sc)), len(sc['files'])))
    say()
    say('---- the program\'s boxes ' + '-' * 52)

    answer_file = os.path.join(artifacts, 'answers.txt')
    script = harness.pilot_script(wine, sc, prefix, gate, shots, answering(person, answer_file))
    printer = BoxPrinter(shots, person)
    try:
        seen, restarted, problems = harness.drive_pilot(
            wine, prefix, script, artifacts, gate, shots,
            PERSON_TIMEOUT_S if person else HEADLESS_TIMEOUT_S,
            on_poll=printer, cut_shots=True)
    finally:
        wine.kill_server(prefix.path)
    if not printer.boxes:
        say('(no box)')
    reg_after, files_after = harness.capture_state(prefix, os.path.join(artifacts, 'after.txt'))

    say()
    say('---- what the run removed ' + '-' * 51)
    removal_report(sc, prefix, reg_before, reg_after, files_before, files_after)
    say()
    say('Restart requested: %s' % ('yes (a stand-in for wineboot noted it; the Wine session went on)'
                                    if restarted else 'no'))
    say('Exit code: %s' % ('none, the program did not end' if printer.exit_code is None else printer.exit_code))
    for p in problems:
        say('Problem: ' + p)
    say()
    say('---- the program\'s log ' + '-' * 54)
    print_log(prefix)

    pngs = sorted((f for f in os.listdir(shots) if f.endswith('.png')),
                  key=lambda f: int(re.sub(r'\D', '', f) or 0))
    say()
    say('Screenshots: %s' % (', '.join(os.path.relpath(os.path.join(shots, f), harness.ROOT) for f in pngs)
                             if pngs else 'none (no box was shown)' if not printer.boxes
                             else 'none (ImageMagick\'s import is missing)'))
    say('Before/after listings: %s, %s' % tuple(os.path.relpath(os.path.join(artifacts, f), harness.ROOT)
                                                for f in ('before.txt', 'after.txt')))
    say('The PC after the run: WINEPREFIX=%s' % os.path.relpath(prefix.path, harness.ROOT))

    failed = bool(problems) or printer.exit_code is None
    if default_run and not person and seen is not None:
        # The unattended default run is also a check of the image's expectations.
        mismatches = harness.compare_run(sc, seen, restarted) + harness.compare_state(
            sc, prefix, reg_before, reg_after, files_before, files_after)
        rel = os.path.relpath(os.path.join(sc['folder'], 'scenario'), harness.ROOT)
        if mismatches:
            say('Check against %s: %d difference%s' % (rel, len(mismatches), 's' if len(mismatches) > 1 else ''))
            for m in mismatches:
                say('    ' + m)
            failed = True
        else:
            say('Check against %s: the run did exactly what it expects.' % rel)
    return 1 if failed else 0


def main(argv):
    parser = argparse.ArgumentParser(description='Runs the uninstaller under Wine on an embedded default PC.')
    parser.add_argument('--family', default='xp', help='xp (default) or 98')
    parser.add_argument('--args', default=None, help='the command-line tail (default: "-C" on XP, none on 98)')
    opts = parser.parse_args(argv)
    family = FAMILIES.get(opts.family.lower())
    if not family:
        raise SystemExit('demo: FAMILY must be xp or 98, not %s' % opts.family)
    try:
        sys.stdout.reconfigure(encoding='utf-8', errors='replace')
    except AttributeError:
        pass

    sc = harness.read_scenario(os.path.join(DEMO, family))
    default_run = opts.args is None or opts.args == sc['args']
    if opts.args is not None:
        sc['args'] = opts.args
    person = person_answers()
    wine = harness.main_wine()
    if wine.missing():
        raise SystemExit('demo: %s is missing (make demo builds it)' % wine.missing()[0])

    started = time.time()
    say('Pelto QZ series USB driver uninstaller, under Wine')
    say('  PC:       demo/%s: %s' % (family, sc['title']))
    say('  Windows:  Wine tells the program it runs on %s' % VERSION_NAMES.get(sc['version'], sc['version']))
    say('  Program:  ' + explain_program(wine))
    say('  Command:  %s %s' % (os.path.basename(wine.program), sc['args'] or '(no option)'))
    if person:
        say('  Boxes:    you answer them, on display %s; the run waits for you.' % os.environ['DISPLAY'])
        say('            Answering the restart question OK is safe here: a stand-in for wineboot')
        say('            notes the request instead of ending the Wine session.')
        wine.display = os.environ['DISPLAY']
    else:
        why = 'QZ_DEMO_HEADLESS is set' if os.environ.get('QZ_DEMO_HEADLESS') else (
            'no display (DISPLAY is not set)' if not os.environ.get('DISPLAY') else 'no terminal to ask on')
        say('  Boxes:    %s: the run goes on a private Xvfb and answers every box OK,' % why)
        say('            except the restart question, answered Cancel: a restart request')
        say('            would end the Wine session.')
        wine.start_display()
    say()
    try:
        wine.ensure_pristine()
        code = run_demo(wine, sc, person, default_run)
    finally:
        if not person:
            wine.stop_display()
    say('demo: %.0f s in all' % (time.time() - started))
    return code


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
