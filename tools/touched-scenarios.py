#!/usr/bin/python3
"""The scenarios a change touches, one name a line, for make check: those
whose folder changed, and those that include or name a shared folder
(scenarios/shell-common, say) that changed. The change: what this branch
holds beyond main (or beyond HEAD where there is no main), what is not
committed yet, and new files.

    tools/touched-scenarios.py
"""

import os
import re
import subprocess

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
SCENARIOS = os.path.join(ROOT, 'scenarios')


def git(*args):
    out = subprocess.run(['git'] + list(args), cwd=ROOT, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    return out.stdout.decode('utf-8', errors='replace').split('\n') if out.returncode == 0 else []


def changed_files():
    base = (git('merge-base', 'HEAD', 'main') + [''])[0] or 'HEAD'
    names = git('diff', '--name-only', base) + git('ls-files', '--others', '--exclude-standard')
    return {n for n in names if n}


def referenced_folders(folder, seen=None):
    """The folders under scenarios/ that FOLDER's scenario names (../x/...),
    following their own names in turn."""
    seen = set() if seen is None else seen
    for entry in os.listdir(folder):
        path = os.path.join(folder, entry)
        if not os.path.isfile(path) or entry.endswith(('.inf', '.pnf', '.cat', '.sys')):
            continue
        with open(path, encoding='utf-8', errors='replace') as f:
            for name in re.findall(r'\.\./([^/\s]+)/', f.read()):
                if name not in seen and os.path.isdir(os.path.join(SCENARIOS, name)):
                    seen.add(name)
                    referenced_folders(os.path.join(SCENARIOS, name), seen)
    return seen


def main():
    folders = {p.split('/')[1] for p in changed_files() if p.startswith('scenarios/') and p.count('/') >= 2}
    for name in sorted(os.listdir(SCENARIOS)):
        folder = os.path.join(SCENARIOS, name)
        if not os.path.isfile(os.path.join(folder, 'scenario')):
            continue
        if name in folders or folders & referenced_folders(folder):
            print(name)


if __name__ == '__main__':
    main()
