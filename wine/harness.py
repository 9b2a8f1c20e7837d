"""The Wine harness: what the scenario runner (run_scenarios.py) and make demo
(demo.py) share.

- Wine: which loader and program run (the 32-bit program in a 32-bit prefix
  where 32-bit Wine runs, else the 64-bit build in a 64-bit prefix; the
  hand-over in a 64-bit prefix), the pristine prefix each copies, Xvfb;
- read_scenario: a scenario folder, read by the unit suite's reader through
  build/native/scenario_json;
- Prefix, setup_prefix: a copy of the pristine prefix with the scenario's
  Windows version, registry files and files;
- capture_state, compare_state: all of HKLM and C:\\windows, before and after;
- drive_pilot, compare_run: the box pilot, and its boxes, exit code and
  restart request against the scenario;
- find_logs, compare_log: the program's log;
- run_scenario: one scenario, end to end, as a list of problems.
"""

import contextlib
import hashlib
import json
import os
import re
import shutil
import subprocess
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.dirname(HERE)
BUILD = os.path.join(ROOT, 'build')
ARTIFACTS = os.path.join(BUILD, 'wine-artifacts')
RUNS = os.path.join(BUILD, 'wine-runs')
SCENARIO_JSON = os.path.join(BUILD, 'native', 'scenario_json')

BOX_TIMEOUT_MS = 20000
SCENARIO_TIMEOUT_S = 120


class ScenarioError(Exception):
    """The scenario folder itself is malformed."""


# --------------------------------------------------------------------------
# Wine set-up: which loader, which program, the pristine prefix, the display

NO_32BIT = 'this host cannot run 32-bit programs'
LOADERS = {'win32': '/usr/lib/wine/wine', 'win64': '/usr/lib/wine/wine64'}


def host_runs_32bit():
    """(True, '') when Wine's 32-bit loader runs natively here (no emulation);
    else (False, why). QZ_WINE_NO_32BIT=1 plays a host that cannot."""
    if os.environ.get('QZ_WINE_NO_32BIT'):
        return False, NO_32BIT + ' (played: WINE_PATH=64 or QZ_WINE_NO_32BIT)'
    loader = LOADERS['win32']
    if not os.access(loader, os.X_OK):
        return False, NO_32BIT + ' (no 32-bit Wine loader)'
    try:
        out = subprocess.run([loader, '--version'], capture_output=True, timeout=10)
    except (OSError, subprocess.TimeoutExpired):
        return False, NO_32BIT + ' (Wine\'s 32-bit loader does not start)'
    if out.returncode != 0:
        return False, NO_32BIT + ' (Wine\'s 32-bit loader does not start)'
    # A 32-bit ELF that runs only through a binfmt emulator is far too slow.
    try:
        for entry in os.listdir('/proc/sys/fs/binfmt_misc'):
            path = os.path.join('/proc/sys/fs/binfmt_misc', entry)
            if entry.startswith('qemu-i386') and open(path).read().startswith('enabled'):
                return False, NO_32BIT + ' (only through an emulator)'
    except OSError:
        pass
    return True, ''


class Wine:
    """One way of running the program: a prefix architecture, its loader, the
    program the pilot starts, the pilot's build, and the program names that
    get the scenario's Windows version."""

    def __init__(self, arch, program, why='', app_names=None, pilot_arch=None):
        self.arch = arch
        self.loader = LOADERS[arch]
        self.program = program
        # the pilot's hook reaches only processes of its own bitness: the
        # pilot matches the program that shows the boxes
        pilot_arch = pilot_arch or arch
        self.pilot_dir = os.path.join(BUILD, 'wine', 'pilot32' if pilot_arch == 'win32' else 'pilot64')
        self.app_names = app_names or [os.path.basename(program)]
        self.why = why
        self.pristine = os.path.join(BUILD, 'wine-prefix-pristine-' + arch)
        self.display = None
        self.xvfb = None
        # not empty: a `wow64 yes` scenario's 64-bit program started directly,
        # for this reason (the hand-over itself is not tried)
        self.direct = ''

    def describe(self):
        """What runs, for the logs: 'build/win32/QZUninst.exe in a 32-bit prefix'."""
        bits = '32-bit' if self.arch == 'win32' else '64-bit'
        names = [os.path.relpath(self.program, ROOT)] + self.app_names[1:]
        why = (', as ' if self.why.startswith(NO_32BIT) else ', ') + self.why if self.why else ''
        if self.direct:
            why = ', started directly (no hand-over)' + why
        return '%s in a %s prefix%s' % (' -> '.join(names), bits, why)

    def missing(self):
        """The files this way of running needs that are not built."""
        needed = [self.program, os.path.join(self.pilot_dir, 'pilot.exe')]
        needed += [os.path.join(os.path.dirname(self.program), n) for n in self.app_names[1:]]
        return [n for n in needed if not os.path.exists(n)]

    # The language Wine runs in (a scenario's `locale` line sets it for its run).
    locale = 'ja_JP.UTF-8'

    def env(self, prefix, extra_overrides=''):
        env = dict(os.environ)
        for name in ('LANGUAGE', 'LC_CTYPE', 'LC_MESSAGES'):
            env.pop(name, None)
        env.update({
            'WINEPREFIX': prefix,
            'WINEARCH': self.arch,
            'WINELOADER': self.loader,
            'WINEDEBUG': '-all',
            'WINEDLLOVERRIDES': 'mscoree,mshtml=;winemenubuilder.exe=d' + extra_overrides,
            'LANG': self.locale,
            'LC_ALL': self.locale,
        })
        if self.display:
            env['DISPLAY'] = self.display
        if os.environ.get('QZ_WINEDEBUG'):
            env['WINEDEBUG'] = os.environ['QZ_WINEDEBUG']  # Wine's trace channels, to the pilot's console file
        return env

    def run(self, prefix, args, timeout=120, extra_overrides=''):
        return subprocess.run([self.loader] + args, env=self.env(prefix, extra_overrides),
                              stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=timeout)

    def start_server(self, prefix):
        # -p0: the server ends as soon as the last process of the prefix ends.
        subprocess.run(['wineserver', '-p0'], env=self.env(prefix), timeout=30)

    def wait_server(self, prefix, timeout=60):
        """Waits until every process of the prefix and its server have ended,
        so that the registry is written to the prefix's files."""
        try:
            subprocess.run(['wineserver', '-w'], env=self.env(prefix), timeout=timeout)
        except subprocess.TimeoutExpired:
            subprocess.run(['wineserver', '-k'], env=self.env(prefix), timeout=30)
            subprocess.run(['wineserver', '-w'], env=self.env(prefix), timeout=30)
            raise RuntimeError('the prefix did not shut down within %d s' % timeout)

    def kill_server(self, prefix):
        """Ends every process of the prefix, whatever it is doing."""
        subprocess.run(['wineserver', '-k'], env=self.env(prefix),
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def copy_pristine(self, prefix):
        subprocess.run(['cp', '-a', self.pristine, prefix], check=True)

    def start_display(self):
        for number in range(91, 140):
            if os.path.exists('/tmp/.X11-unix/X%d' % number) or os.path.exists('/tmp/.X%d-lock' % number):
                continue
            self.xvfb = subprocess.Popen(['Xvfb', ':%d' % number, '-screen', '0', '1024x768x24',
                                          '-nolisten', 'tcp'],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            for _ in range(100):
                if os.path.exists('/tmp/.X11-unix/X%d' % number):
                    self.display = ':%d' % number
                    return
                if self.xvfb.poll() is not None:
                    break
                time.sleep(0.05)
            if self.xvfb.poll() is None:
                self.xvfb.kill()
                self.xvfb.wait()
        raise SystemExit('wine: could not start Xvfb')

    def stop_display(self):
        if self.xvfb and self.xvfb.poll() is None:
            self.xvfb.terminate()
            try:
                self.xvfb.wait(10)
            except subprocess.TimeoutExpired:
                self.xvfb.kill()

    def ensure_pristine(self):
        """Builds the pristine prefix once; later runs copy it."""
        if os.path.exists(os.path.join(self.pristine, 'system.reg')):
            return
        work = self.pristine + '.new'
        shutil.rmtree(work, ignore_errors=True)
        # The server must find the prefix folder, or it refuses to start and
        # the first Wine program starts one that lingers for 3 s.
        os.makedirs(work)
        started = time.time()
        self.start_server(work)
        out = self.run(work, ['wineboot', '-i'], timeout=300)
        if out.returncode != 0:
            raise SystemExit('wine: wineboot failed:\n' + out.stdout.decode(errors='replace'))
        # No window manager here: without this Wine waits about 2 s after every box.
        settings = os.path.join(work, 'drive_c', 'pilot-settings.reg')
        with open(settings, 'w', encoding='ascii', newline='\r\n') as f:
            f.write('REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]\n"Managed"="N"\n')
        out = self.run(work, ['regedit', '/S', 'C:\\pilot-settings.reg'])
        os.remove(settings)
        self.wait_server(work)
        if out.returncode != 0:
            raise SystemExit('wine: could not set up the pristine prefix')
        os.rename(work, self.pristine)
        print('wine: pristine %s prefix made in %.0f s' % (self.arch, time.time() - started), flush=True)


def main_wine():
    """The program the scenarios run: the shipped 32-bit program in a 32-bit
    prefix where 32-bit Wine runs, else the 64-bit build of the same sources
    in a 64-bit prefix. QZ_WINE_ARCH and QZ_WINE_PROGRAM override the choice."""
    runs_32bit, why = host_runs_32bit()
    arch = os.environ.get('QZ_WINE_ARCH') or ('win32' if runs_32bit else 'win64')
    if arch not in LOADERS:
        raise SystemExit('wine: QZ_WINE_ARCH must be win32 or win64')
    if arch == 'win32' and not runs_32bit and os.environ.get('QZ_WINE_NO_32BIT'):
        raise SystemExit('wine: QZ_WINE_ARCH=win32 and QZ_WINE_NO_32BIT contradict each other')
    if os.environ.get('QZ_WINE_ARCH'):
        why = 'chosen by QZ_WINE_ARCH=' + arch
    program = os.path.join(BUILD, 'win32', 'QZUninst.exe') if arch == 'win32' else \
        os.path.join(BUILD, 'win64', 'QZUninst64.exe')
    if os.environ.get('QZ_WINE_PROGRAM'):
        program, why = os.environ['QZ_WINE_PROGRAM'], 'chosen by QZ_WINE_PROGRAM'
    return Wine(arch, program, why)


def handover_wine(alone=False):
    """For `wow64 yes` scenarios: 64-bit Windows, where the 64-bit pilot starts
    the 32-bit build/dist/QZUninst.exe, which hands over to QZUninst64.exe
    beside it; both get the scenario's Windows version. For `wow64 alone`, a
    copy of the 32-bit program in a folder of its own (build/wine/alone), as a
    deployment that shipped it without its partner. Where this host cannot
    run 32-bit programs: for `wow64 yes`, build/dist/QZUninst64.exe started
    directly (a Wine whose `direct` says why: all but the hand-over itself is
    checked); for `wow64 alone`, None. Returns (the Wine, or None; why the
    hand-over is not tried, or '')."""
    runs_32bit, why = host_runs_32bit()
    if not runs_32bit:
        if alone:
            return None, why
        wine = Wine('win64', os.path.join(BUILD, 'dist', 'QZUninst64.exe'), why)
        wine.direct = why
        return wine, why
    if alone:
        return Wine('win64', os.path.join(BUILD, 'wine', 'alone', 'QZUninst.exe'), pilot_arch='win32'), ''
    return Wine('win64', os.path.join(BUILD, 'dist', 'QZUninst.exe'),
                app_names=['QZUninst.exe', 'QZUninst64.exe']), ''


def windows_path(unix_path):
    return 'Z:' + os.path.abspath(unix_path).replace('/', '\\')


# --------------------------------------------------------------------------
# The scenario file, as the unit suite reads it (build/native/scenario_json)

def read_scenario(folder):
    """The scenario of FOLDER as a dict (the keys of scenario_json's JSON),
    with registry files and file sources as paths."""
    if not os.access(SCENARIO_JSON, os.X_OK):
        raise SystemExit('wine: %s is missing (make wine-test builds it)' % SCENARIO_JSON)
    out = subprocess.run([SCENARIO_JSON, folder], capture_output=True, timeout=30)
    if out.returncode != 0:
        raise ScenarioError(out.stderr.decode('utf-8', errors='replace').strip())
    sc = json.loads(out.stdout.decode('utf-8'))
    sc['registry'] = [os.path.join(folder, r) for r in sc['registry']]
    sc['files'] = [(f['path'], f['attributes'], os.path.join(folder, 'files', f['source']) if f['source'] else None)
                   for f in sc['files']]
    return sc


def box_text(text):
    """The pilot's escaped text as the box shows it."""
    out, i = [], 0
    while i < len(text):
        if text[i] == '\\' and i + 1 < len(text) and text[i + 1] in 'nrt\\':
            out.append({'n': '\n', 'r': '\r', 't': '\t', '\\': '\\'}[text[i + 1]])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return ''.join(out)


def show(text):
    return '"' + text.replace('\\', '\\\\').replace('\n', '\\n') + '"'


# --------------------------------------------------------------------------
# Paths inside a prefix

class Prefix:
    """A Wine prefix, and the way from a scenario's paths to its files."""

    def __init__(self, path):
        self.path = path
        self.windir = os.path.join(path, 'drive_c', 'windows')

    def unix(self, scenario_path, create_dirs=False):
        """The Unix path of a scenario path (%WINDIR%\\..., %SYSDIR%\\..., C:\\...),
        matching existing names without regard to case as Windows does."""
        p = scenario_path.replace('/', '\\')
        low = p.lower()
        if low.startswith('%windir%'):
            parts = ['windows'] + p[len('%windir%'):].split('\\')
        elif low.startswith('%sysdir%'):
            parts = ['windows', 'system32'] + p[len('%sysdir%'):].split('\\')
        elif re.match(r'^c:\\', low):
            parts = p[3:].split('\\')
        else:
            raise ScenarioError('path %s must start with %%WINDIR%%, %%SYSDIR%% or C:\\' % scenario_path)
        current = os.path.join(self.path, 'drive_c')
        parts = [x for x in parts if x]
        for i, part in enumerate(parts):
            match = None
            if os.path.isdir(current):
                for entry in os.listdir(current):
                    if entry.lower() == part.lower():
                        match = entry
                        break
            current = os.path.join(current, match or part)
            if create_dirs and i < len(parts) - 1 and not os.path.isdir(current):
                os.mkdir(current)
        return current

    def c_path(self, unix_path):
        """The Windows path (C:\\...) of a file of the prefix."""
        return 'C:\\' + os.path.relpath(unix_path, os.path.join(self.path, 'drive_c')).replace('/', '\\')

    def key_of(self, unix_path):
        """A case-folded name for a file of the prefix, relative to drive_c."""
        return self.c_path(unix_path)[3:].lower()


# --------------------------------------------------------------------------
# End state: HKLM from system.reg, the file tree of drive_c

def read_hklm(prefix):
    """{key (lower case): (key as written, {value name (lower case): (name, raw data)})}
    for every key of HKEY_LOCAL_MACHINE saved in the prefix's system.reg."""
    keys = {}
    current = None
    with open(os.path.join(prefix.path, 'system.reg'), encoding='utf-8', errors='surrogateescape') as f:
        lines = f.read().split('\n')
    i = 0
    while i < len(lines):
        line = lines[i]
        i += 1
        # Values may run over several lines, each ending in a backslash.
        while line.endswith('\\') and i < len(lines) and not line.endswith('\\\\'):
            line = line[:-1] + lines[i].lstrip()
            i += 1
        if line.startswith('['):
            end = line.rfind(']')
            name = reg_unescape(line[1:end])
            current = keys.setdefault(name.lower(), (name, {}))[1]
        elif current is not None and (line.startswith('"') or line.startswith('@')):
            if line.startswith('@'):
                vname, data = '', line[2:]
            else:
                j = 1
                while j < len(line) and line[j] != '"':
                    j += 2 if line[j] == '\\' else 1
                vname, data = reg_unescape(line[1:j]), line[j + 2:]
            current[vname.lower()] = (vname, data)
    # Wine writes no section for a key that has subkeys but no values: such a
    # key exists all the same.
    for low, (name, _) in list(keys.items()):
        parts, low_parts = name.split('\\'), low.split('\\')
        for n in range(1, len(parts)):
            keys.setdefault('\\'.join(low_parts[:n]), ('\\'.join(parts[:n]), {}))
    return keys


def reg_unescape(text):
    out, i = [], 0
    while i < len(text):
        if text[i] == '\\' and i + 1 < len(text):
            out.append(text[i + 1])
            i += 2
        else:
            out.append(text[i])
            i += 1
    return ''.join(out)


FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM = 0x1, 0x2, 0x4


def dos_attributes(path):
    """Read-only, hidden and system, as Wine keeps them: write bits and the
    user.DOSATTRIB extended attribute."""
    st = os.lstat(path)
    attrs = 0 if st.st_mode & 0o222 else FILE_ATTRIBUTE_READONLY
    try:
        stored = os.getxattr(path, 'user.DOSATTRIB', follow_symlinks=False).split(b'\0')[0]
        attrs |= int(stored, 16) & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)
    except (OSError, ValueError):
        pass
    return attrs


def attribute_names(attrs):
    names = [n for bit, n in ((1, 'readonly'), (2, 'hidden'), (4, 'system')) if attrs & bit]
    return '+'.join(names) or 'normal'


def read_files(prefix):
    """{path (lower case): (path, kind, attributes, digest)} below drive_c\\windows."""
    files = {}
    for dirpath, dirnames, filenames in os.walk(prefix.windir):
        for name in dirnames + filenames:
            full = os.path.join(dirpath, name)
            if os.path.isdir(full) and not os.path.islink(full):
                files[prefix.key_of(full)] = (full, 'dir', 0, '')
                continue
            st = os.lstat(full)
            digest = '%d:%d' % (st.st_size, st.st_mtime_ns)
            if st.st_size < 1 << 16:
                with open(full, 'rb') as f:
                    digest = hashlib.sha1(f.read()).hexdigest()
            files[prefix.key_of(full)] = (full, 'file', dos_attributes(full), digest)
    return files


# Wine's own bookkeeping that changes on every start, whatever the program does.
VOLATILE_KEYS = (
    # display adapters and monitors, written anew by every session's start
    'system\\currentcontrolset\\control\\class\\{4d36e968-e325-11ce-bfc1-08002be10318}',
    'system\\currentcontrolset\\control\\class\\{4d36e96e-e325-11ce-bfc1-08002be10318}',
    'software\\microsoft\\windows nt\\currentversion\\perflib',
    'system\\currentcontrolset\\control\\session manager\\environment',
)


def volatile(key):
    return any(key == v or key.startswith(v + '\\') for v in VOLATILE_KEYS)


SESSION_MANAGER = 'system\\currentcontrolset\\control\\session manager'
PENDING = 'pendingfilerenameoperations'


def deleted_at_restart(data):
    """The files a PendingFileRenameOperations value (system.reg's str(7):"..."
    form) sets to be deleted at the restart: each "\\??\\PATH" whose target is
    empty, as case-folded C:\\ paths."""
    if not data.startswith('str(7):"'):
        return set()
    text = data[len('str(7):"'):].rstrip('"')
    text = text.replace('\\0', '\x00').replace('\\\\', '\\')
    parts = text.split('\x00')
    return {parts[i][4:].lower() for i in range(0, len(parts) - 1, 2)
            if parts[i].startswith('\\??\\') and parts[i + 1] == ''}


def compare_state(sc, prefix, reg_before, reg_after, files_before, files_after):
    problems = []

    # the files set to be deleted at the restart: Windows lists them, and
    # they stay until then, made normal first
    pending = reg_after.get(SESSION_MANAGER, ('', {}))[1].get(PENDING)
    listed = deleted_at_restart(pending[1]) if pending else set()
    # those an earlier run of the session set so (pending-delete) stay listed
    wanted = {prefix.c_path(prefix.unix(p)).lower(): p for p in sc['restart_deletes'] + sc.get('pending_deletes', [])}
    for low, shown in sorted(wanted.items()):
        if low not in listed:
            problems.append('expected %s set to be deleted at the restart, got it not listed' % shown)
    for low in sorted(listed - set(wanted)):
        problems.append('expected no file set to be deleted at the restart, got %s' % low)

    def norm_key(path):
        if not path.lower().startswith('hklm\\'):
            raise ScenarioError('registry path %s must start with HKLM\\' % path)
        return path[5:].strip('\\').lower()

    removed_keys = [norm_key(k) for k in sc['removed_keys']]

    def covered(key):
        return any(key == r or key.startswith(r + '\\') for r in removed_keys)

    for r, shown in zip(removed_keys, sc['removed_keys']):
        if r not in reg_before:
            problems.append('expected key %s to be removed, but it was not there before the run' % shown)
        elif r in reg_after:
            problems.append('expected key %s removed, got it still present' % shown)
    for key, (name, values) in sorted(reg_before.items()):
        if volatile(key):
            continue
        if key not in reg_after:
            if not covered(key):
                problems.append('expected key HKLM\\%s unchanged, got it removed' % name)
            continue
        if covered(key):
            if not any(key == r for r in removed_keys):
                problems.append('expected key HKLM\\%s removed with its parent, got it still present' % name)
            continue
        after_values = reg_after[key][1]
        for vkey, (vname, data) in sorted(values.items()):
            expected_gone = any(norm_key(p) == key and n.lower() == vkey for p, n in sc['removed_values'])
            if vkey not in after_values:
                if not expected_gone:
                    problems.append('expected value HKLM\\%s "%s" unchanged, got it removed' % (name, vname))
            elif expected_gone:
                problems.append('expected value HKLM\\%s "%s" removed, got it still present' % (name, vname))
            elif after_values[vkey][1] != data:
                problems.append('expected value HKLM\\%s "%s" = %s, got %s'
                                % (name, vname, data, after_values[vkey][1]))
        for vkey, (vname, data) in sorted(after_values.items()):
            if key == SESSION_MANAGER and vkey == PENDING:
                continue  # looked at above
            if vkey not in values:
                problems.append('expected no new value, got HKLM\\%s "%s" = %s' % (name, vname, data))
    for path, vname in sc['removed_values']:
        key = norm_key(path)
        if key not in reg_before or vname.lower() not in reg_before[key][1]:
            problems.append('expected value %s "%s" to be removed, but it was not there before the run'
                            % (path, vname))
    for key, (name, _) in sorted(reg_after.items()):
        if key not in reg_before and not volatile(key):
            problems.append('expected no new key, got HKLM\\%s' % name)

    # The files a wine-todo pins stay on Wine, unchanged, as any other file would.
    removed_files = {prefix.key_of(prefix.unix(p)): p for p in sc['removed_files'] if p not in sc['wine_keeps']}
    normal_files = {prefix.key_of(prefix.unix(p)): p for p in sc['attrs'] + sc['restart_deletes']}
    for key, shown in sorted(removed_files.items()):
        if key not in files_before:
            problems.append('expected file %s to be removed, but it was not there before the run' % shown)
        elif key in files_after:
            problems.append('expected file %s removed, got it still present' % shown)
    for key, shown in sorted(normal_files.items()):
        if key not in files_after:
            problems.append('expected file %s to stay with normal attributes, got it removed' % shown)
        elif files_after[key][2] != 0:
            problems.append('expected file %s with normal attributes, got %s'
                            % (shown, attribute_names(files_after[key][2])))
    for key, (full, kind, attrs, digest) in sorted(files_before.items()):
        if key in removed_files:
            continue
        if key not in files_after:
            problems.append('expected %s C:\\%s unchanged, got it removed' % (kind, key))
            continue
        _, kind_after, attrs_after, digest_after = files_after[key]
        if kind_after != kind or digest_after != digest:
            problems.append('expected %s C:\\%s unchanged, got its contents changed' % (kind, key))
        elif attrs_after != attrs and key not in normal_files:
            problems.append('expected C:\\%s with attributes %s, got %s'
                            % (key, attribute_names(attrs), attribute_names(attrs_after)))
    for key, (full, kind, _, _) in sorted(files_after.items()):
        if key not in files_before:
            problems.append('expected no new file, got C:\\%s' % key)
    return problems


def dump_state(path, reg, files):
    with open(path, 'w', encoding='utf-8', errors='surrogateescape') as f:
        for key in sorted(reg):
            name, values = reg[key]
            f.write('[HKLM\\%s]\n' % name)
            for vkey in sorted(values):
                f.write('  "%s"=%s\n' % values[vkey])
        for key in sorted(files):
            _, kind, attrs, digest = files[key]
            f.write('%s C:\\%s %s %s\n' % (kind, key, attribute_names(attrs), digest))


def capture_state(prefix, listing):
    """HKLM and the files of C:\\windows as they are now; a listing of both
    goes to the file LISTING."""
    reg, files = read_hklm(prefix), read_files(prefix)
    dump_state(listing, reg, files)
    return reg, files


# --------------------------------------------------------------------------
# Setting up a prefix from a scenario

@contextlib.contextmanager
def scratch_prefix(wine, name, keep=False):
    """A copy of WINE's pristine prefix in a new folder build/wine-runs/NAME.*
    (yields the Prefix and that folder). Afterwards the prefix's processes are
    ended and, unless KEEP, the folder deleted."""
    os.makedirs(RUNS, exist_ok=True)
    run_dir = tempfile.mkdtemp(prefix=name + '.', dir=RUNS)
    prefix = Prefix(os.path.join(run_dir, 'prefix'))
    try:
        wine.copy_pristine(prefix.path)
        yield prefix, run_dir
    finally:
        wine.kill_server(prefix.path)
        if not keep:
            shutil.rmtree(run_dir, ignore_errors=True)


def version_reg(wine, sc):
    return 'REGEDIT4\r\n' + ''.join(
        '\r\n[HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\%s]\r\n"Version"="%s"\r\n' % (exe, sc['version'])
        for exe in wine.app_names)


def setup_prefix(wine, sc, prefix, work_dir):
    """Gives PREFIX (a fresh copy of the pristine one) the scenario's Windows
    version, registry files and files, with WORK_DIR for the set-up's own
    files, and checks that the files are there."""
    wine.start_server(prefix.path)
    try:
        import_registry(wine, sc, prefix, work_dir)
        lay_down_files(wine, sc, prefix, work_dir)
    finally:
        wine.wait_server(prefix.path)
    check_setup(sc, prefix)


def import_registry(wine, sc, prefix, work_dir):
    # The Windows version, for the program only: Wine's own services keep theirs.
    reg = os.path.join(work_dir, 'version.reg')
    with open(reg, 'w', encoding='ascii', newline='') as f:
        f.write(version_reg(wine, sc))
    for path in [reg] + sc['registry']:
        out = wine.run(prefix.path, ['regedit', '/S', windows_path(path)])
        if out.returncode != 0:
            raise RuntimeError('regedit /S %s failed: %s' % (path, out.stdout.decode(errors='replace')))


def lay_down_files(wine, sc, prefix, work_dir):
    for d in sc['dirs']:
        os.makedirs(prefix.unix(d, create_dirs=True), exist_ok=True)
    batch = []
    for path, attrs, source in sc['files']:
        target = prefix.unix(path, create_dirs=True)
        if 'loaded' in attrs:
            # an image the pilot can map as Windows maps a driver it runs
            shutil.copyfile(os.path.join(wine.pilot_dir, 'pilot_hook.dll'), target)
        elif source:
            shutil.copyfile(source, target)
        else:
            open(target, 'wb').close()
        # Wine's attrib takes one flag a call: "+r +s" would set only one of them.
        for a in attrs:
            if a in ('readonly', 'hidden', 'system'):
                batch.append('attrib +%s "%s"' % (a[0], prefix.c_path(target)))
    if batch:
        bat = os.path.join(work_dir, 'attrs.bat')
        with open(bat, 'w', encoding='ascii', newline='') as f:
            f.write('@echo off\r\n' + '\r\n'.join(batch) + '\r\n')
        out = wine.run(prefix.path, ['cmd', '/c', windows_path(bat)])
        if out.returncode != 0:
            raise RuntimeError('attrib failed: ' + out.stdout.decode(errors='replace'))


def check_setup(sc, prefix):
    """The prefix holds the scenario's files with their attributes: a set-up
    that silently failed would make every later check meaningless."""
    for path, attrs, _ in sc['files']:
        target = prefix.unix(path)
        if not os.path.isfile(target):
            raise RuntimeError('set-up: %s was not laid down' % path)
        want = sum(bit for bit, a in ((1, 'readonly'), (2, 'hidden'), (4, 'system')) if a in attrs)
        got = dos_attributes(target)
        if got != want:
            raise RuntimeError('set-up: %s has attributes %s, not %s'
                               % (path, attribute_names(got), attribute_names(want)))


# --------------------------------------------------------------------------
# The box pilot

def pilot_folders(artifacts):
    """Makes the pilot's gate folder and the screenshots' folder in ARTIFACTS
    (which must not hold them yet) and returns their paths."""
    gate, shots = os.path.join(artifacts, 'gate'), os.path.join(artifacts, 'shots')
    os.makedirs(gate)
    os.makedirs(shots)
    return gate, shots


def pilot_script(wine, sc, prefix, gate, shots, answering):
    """The pilot's script for the scenario's program and tail: ANSWERING (the
    lines that say how its boxes are answered), the screenshots where
    ImageMagick is there, and the files held open."""
    script = ['program ' + windows_path(wine.program),
              'args ' + sc['args'],
              'boxes %d' % len(sc['boxes']),
              'timeout %d' % BOX_TIMEOUT_MS,
              'hook ' + windows_path(os.path.join(wine.pilot_dir, 'pilot_hook.dll')),
              'gate ' + windows_path(gate)]
    script += answering
    if shutil.which('import'):
        script.append('shots ' + windows_path(shots))
    for path, attrs, _ in sc['files']:
        if 'inuse' in attrs:
            script.append('hold ' + prefix.c_path(prefix.unix(path)))
        if 'loaded' in attrs:
            script.append('hold-image ' + prefix.c_path(prefix.unix(path)))
    for path in sc.get('pending_deletes', []):
        script.append('pending-delete ' + prefix.c_path(prefix.unix(path)))
    return script


def drive_pilot(wine, prefix, script, artifacts, gate, shots, timeout_s,
                on_poll=None, cut_shots=False):
    """Runs the pilot with SCRIPT (a list of lines) in the prepared prefix and
    waits for it and the prefix to end. On every poll it passes the gate,
    takes the requested screenshots (of the whole screen, or with CUT_SHOTS
    of the box alone) and calls on_poll(output_path). Returns (the pilot's
    output lines, or None when it wrote nothing; whether a restart was
    requested; problems)."""
    marker = os.path.join(prefix.windir, 'temp', 'restart-requested.txt')
    script_path = os.path.join(artifacts, 'pilot-script.txt')
    with open(script_path, 'w', encoding='utf-8', newline='') as f:
        f.write('\n'.join(script) + '\n')
    output_path = os.path.join(artifacts, 'pilot-output.txt')

    # ExitWindowsEx starts wineboot.exe to end the session. Once the pilot's
    # start has opened the session (with the real wineboot), the prefix's
    # wineboot.exe becomes our probe, which only notes that it was asked.
    probe = os.path.join(prefix.windir, 'system32', 'wineboot.exe')
    wine.start_server(prefix.path)
    env = wine.env(prefix.path, ';wineboot.exe=n,b')
    proc = subprocess.Popen([wine.loader, os.path.join(wine.pilot_dir, 'pilot.exe'),
                             windows_path(script_path), windows_path(output_path)],
                            env=env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    # Read as it comes: every process of the prefix writes to this pipe, and
    # one that fills it would stop until someone reads.
    console_parts = []
    reader = threading.Thread(target=lambda: console_parts.extend(iter(lambda: proc.stdout.read(4096), b'')),
                              daemon=True)
    reader.start()
    deadline = time.time() + timeout_s
    problems = []
    while proc.poll() is None:
        if os.path.exists(os.path.join(gate, 'ready')) and not os.path.exists(os.path.join(gate, 'go')):
            shutil.copyfile(os.path.join(wine.pilot_dir, 'restart_probe.exe'), probe)
            open(os.path.join(gate, 'go'), 'w').close()
        take_shots(wine, shots, cut_shots)
        if on_poll:
            on_poll(output_path)
        if time.time() > deadline:
            proc.kill()
            problems.append('the pilot did not end within %d s' % timeout_s)
            break
        time.sleep(0.05)
    take_shots(wine, shots, cut_shots)
    if on_poll:
        on_poll(output_path)
    try:
        wine.wait_server(prefix.path)
    except RuntimeError as e:
        problems.append(str(e))
    reader.join(30)  # the prefix's processes have ended: the pipe is closed
    console = b''.join(console_parts).decode('utf-8', errors='replace')
    with open(os.path.join(artifacts, 'pilot-console.txt'), 'w', encoding='utf-8') as f:
        f.write(console)
    restarted = os.path.exists(marker)
    if restarted:
        os.remove(marker)
    os.remove(probe)
    shutil.copy2(os.path.join(wine.pristine, 'drive_c', 'windows', 'system32', 'wineboot.exe'), probe)

    if not os.path.exists(output_path):
        return None, restarted, problems + ['the pilot wrote nothing: ' + console.strip()[-300:]]
    with open(output_path, encoding='utf-8') as f:
        seen = [line for line in f.read().split('\n') if line]
    return seen, restarted, problems


def take_shots(wine, shots, cut=False):
    """Each screenshot the pilot requested, of the whole screen or, with CUT,
    of the box's rectangle where the request gives it."""
    for entry in sorted(os.listdir(shots)):
        if not entry.endswith('.req'):
            continue
        base = os.path.join(shots, entry[:-4])
        crop = box_crop(base + '.req') if cut else []
        subprocess.run(['import', '-display', wine.display, '-window', 'root'] + crop + [base + '.png'],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30)
        os.rename(base + '.req', base + '.done')


def box_crop(request):
    """import's options that cut a screenshot to the rectangle of the pilot's
    request (LEFT TOP RIGHT BOTTOM), or none."""
    with open(request, encoding='ascii', errors='replace') as f:
        fields = f.read().split()
    if len(fields) != 4 or not all(re.match(r'^-?\d+$', x) for x in fields):
        return []
    left, top, right, bottom = (int(x) for x in fields)
    if right <= left or bottom <= top:
        return []
    return ['-crop', '%dx%d+%d+%d' % (right - left, bottom - top, max(left, 0), max(top, 0)), '+repage']


def parse_box(rest):
    """A pilot's `box` line (after the word) as a dict: buttons, icon, caption
    and text as the box shows them."""
    head, caption, text = (rest.split(' | ', 2) + ['', ''])[:3]
    fields = head.split()
    return {'buttons': fields[0] if fields else '?', 'icon': fields[1] if len(fields) > 1 else '?',
            'caption': box_text(caption), 'text': box_text(text), 'from': '?'}


def compare_run(sc, seen, restarted):
    problems = []
    boxes = []
    exit_code = None
    for line in seen:
        word, _, rest = line.partition(' ')
        if word == 'box':
            boxes.append(parse_box(rest))
        elif word == 'from' and boxes:
            boxes[-1]['from'] = rest
        elif word == 'exit':
            exit_code = int(rest)
        elif word == 'error':
            problems.append('pilot: ' + rest)
        elif word == 'unexpected':
            problems.append('box %s asked a question that the scenario has no answer for '
                            '(answered Cancel)' % rest)
    for i, want in enumerate(sc['boxes']):
        if i >= len(boxes):
            problems.append('expected box %d %s %s | %s | %s, got no box'
                            % (i + 1, want['buttons'], want['icon'], show(want['caption']), show(want['text'])))
            continue
        got = boxes[i]
        for field in ('buttons', 'icon'):
            if want[field] != got[field]:
                problems.append('box %d: expected %s %s, got %s' % (i + 1, field, want[field], got[field]))
        if want['caption'] != got['caption']:
            problems.append('box %d: expected caption %s, got %s'
                            % (i + 1, show(want['caption']), show(got['caption'])))
        if want['text'] == '*':
            if not got['text'].strip():
                problems.append('box %d: expected a system error text, got an empty text' % (i + 1))
        elif want['text'] != got['text']:
            problems.append('box %d: expected text %s, got %s'
                            % (i + 1, show(want['text']), show(got['text'])))
    if sc['boxes_from']:
        for i, got in enumerate(boxes):
            if got['from'].lower() != sc['boxes_from'].lower():
                problems.append('box %d: expected it from %s, got it from %s' % (i + 1, sc['boxes_from'], got['from']))
    for i in range(len(sc['boxes']), len(boxes)):
        got = boxes[i]
        problems.append('expected no box %d, got %s %s | %s | %s'
                        % (i + 1, got['buttons'], got['icon'], show(got['caption']), show(got['text'])))
    if exit_code is None:
        problems.append('expected exit code %d, got none (the program did not end)' % sc['exit'])
    elif exit_code != sc['exit']:
        problems.append('expected exit code %d, got %d' % (sc['exit'], exit_code))
    if restarted != sc['restart']:
        problems.append('expected %s, got %s' % (
            'a restart request' if sc['restart'] else 'no restart request',
            'one' if restarted else 'none'))
    return problems



# --------------------------------------------------------------------------
# The program's log: QZUninst.log in the temporary folder of the prefix's user

def find_logs(prefix):
    return [os.path.join(d, f) for d, _, names in os.walk(os.path.join(prefix.path, 'drive_c'))
            for f in names if f.lower() == 'qzuninst.log']


UTF8_MARK = b'\xef\xbb\xbf'
WIN9X_VERSIONS = ('win95', 'win98', 'winme')


def log_lines(path):
    """The log's lines (CR LF) as text: UTF-8 after its byte order mark, as
    the NT family writes it, else code page 932, as Windows 98/Me do."""
    with open(path, 'rb') as f:
        data = f.read()
    if data.startswith(UTF8_MARK):
        return data[3:].decode('utf-8', errors='replace').split('\r\n')
    return data.decode('cp932', errors='replace').split('\r\n')


def log_encoding_problems(sc, path):
    """On the NT family the log starts with the UTF-8 byte order mark and
    decodes as UTF-8 whole; Windows 98/Me write code page 932 unmarked."""
    with open(path, 'rb') as f:
        data = f.read()
    if sc['version'] in WIN9X_VERSIONS:
        return ['the log of Windows 98/Me starts with a byte order mark'] if data.startswith(UTF8_MARK) else []
    if not data.startswith(UTF8_MARK):
        return ['the log does not start with EF BB BF, the UTF-8 byte order mark']
    try:
        data.decode('utf-8')
    except UnicodeDecodeError as e:
        return ['the log is not UTF-8 throughout: %s' % e]
    return []


# The lines only a hand-over writes: the 32-bit program's block, and the
# 64-bit one's note of whom it took over from.
HANDOVER_LOG_LINES = re.compile(r'^(引き継ぎ: (?!なし)|結果: 64 ビット版が実行)')


def handover_lines(sc):
    """The lines of the scenario's expected log that only the hand-over writes."""
    return [line for line in sc['log'] if HANDOVER_LOG_LINES.match(line)]


def compare_log(sc, prefix, artifacts, skip=()):
    """Every line the scenario expects in the program's log but those of
    SKIP. A copy of the log goes to the artifacts."""
    logs = find_logs(prefix)
    lines = []
    problems = []
    for path in logs:
        shutil.copyfile(path, os.path.join(artifacts, 'QZUninst.log'))
        lines += log_lines(path)
        problems += log_encoding_problems(sc, path)
    if sc['log'] and not logs:
        return ['expected the program\'s log (QZUninst.log), found none']
    return problems + ['expected the log to hold the line %s, got none such' % show(want)
                       for want in sc['log'] if want not in lines and want not in skip]


# --------------------------------------------------------------------------
# One scenario

def run_scenario(wine, sc, keep=False):
    """Runs the scenario in a copy of WINE's pristine prefix (kept under
    build/wine-runs/ with KEEP) and compares all it can see with what the
    scenario expects; the artifacts go to build/wine-artifacts/<name>/.
    Returns a list of problems (empty: the run matched the scenario)."""
    artifacts = os.path.join(ARTIFACTS, sc['name'])
    shutil.rmtree(artifacts, ignore_errors=True)
    os.makedirs(artifacts)
    with scratch_prefix(wine, sc['name'], keep) as (prefix, run_dir):
        setup_prefix(wine, sc, prefix, run_dir)
        reg_before, files_before = capture_state(prefix, os.path.join(artifacts, 'before.txt'))
        problems = run_pilot(wine, sc, prefix, artifacts)
        reg_after, files_after = capture_state(prefix, os.path.join(artifacts, 'after.txt'))
        return problems + compare_state(sc, prefix, reg_before, reg_after, files_before, files_after)


def run_pilot(wine, sc, prefix, artifacts):
    """Runs the program through the pilot with the scenario's answers and
    compares its boxes, exit code, restart request and log."""
    gate, shots = pilot_folders(artifacts)
    script = pilot_script(wine, sc, prefix, gate, shots, ['answer ' + a for a in sc['answers']])
    if sc['lock'] == 'held':
        # the pilot owns the program's run lock, as a second copy would
        script.append('mutex ' + sc['lock_name'])
    seen, restarted, problems = drive_pilot(wine, prefix, script, artifacts, gate, shots,
                                            SCENARIO_TIMEOUT_S)
    if seen is None:
        return problems
    skip = handover_lines(sc) if wine.direct else ()
    return problems + compare_run(sc, seen, restarted) + compare_log(sc, prefix, artifacts, skip)
