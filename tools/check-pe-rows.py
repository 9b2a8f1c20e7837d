#!/usr/bin/python3
"""Rows for check-pe.py --hardened, run on the programs just linked.

    check-pe-rows.py FILE...

For each file: the file as linked has no hardening fault; and with each
DllCharacteristics flag taken off in turn (a copy in memory), check-pe
reports exactly that flag missing, naming the linker option that sets it.
Exits 1 when a row fails.
"""

import importlib.util
import os
import struct
import sys

spec = importlib.util.spec_from_file_location('check_pe', os.path.join(os.path.dirname(__file__), 'check-pe.py'))
check_pe = importlib.util.module_from_spec(spec)
spec.loader.exec_module(check_pe)
OPTS = {'machine': None, 'subsystem': None, 'imports': None, 'dll': False, 'exports': None, 'hardened': True}


def rows_of(path):
    with open(path, 'rb') as f:
        data = f.read()
    pe = check_pe.Pe(data)
    failures = ['%s: as linked: %s' % (path, fault) for fault in check_pe.faults_of(pe, OPTS)]
    for bit, option, pe32plus_only in check_pe.HARDENING_FLAGS:
        if pe32plus_only and not pe.pe32plus:
            continue
        cleared = bytearray(data)
        struct.pack_into('<H', cleared, pe.dll_characteristics_offset, pe.dll_characteristics & ~bit)
        got = check_pe.faults_of(check_pe.Pe(bytes(cleared)), OPTS)
        want = ['DllCharacteristics lack 0x%x: link with -Wl,%s' % (bit, option)]
        if got != want:
            failures.append('%s: without 0x%x expected %s, got %s' % (path, bit, want, got))
    return failures


if __name__ == '__main__':
    failures = [line for path in sys.argv[1:] for line in rows_of(path)]
    for line in failures:
        print('check-pe-rows: %s' % line, file=sys.stderr)
    sys.exit(1 if failures or len(sys.argv) < 2 else 0)
