#!/usr/bin/python3
"""Checks a Windows program or library as it comes out of the linker.

    check-pe.py [--machine i386|amd64] [--subsystem gui|console[:MAJOR.MINOR]]
                [--imports win98|system] [--hardened] [--dll] [--exports NAME,...] FILE

Every option names one property the file must have:

  --machine     the processor it is built for;
  --subsystem   GUI or console, and the lowest Windows version it claims;
  --imports     win98: only the functions tools/win98-imports.txt lists, so
                the program loads on every Windows from 98 on; system: only
                system libraries that every Windows and every Wine prefix
                has (no MinGW runtime DLL beside the program); either way
                never the setup API, which the uninstaller loads by name;
  --hardened    asks the loader for what the linker no longer gives by
                default everywhere: a relocatable image (ASLR), data pages
                that do not execute (NX), and for a 64-bit file an address
                anywhere in the 64-bit space (high-entropy ASLR);
  --dll         a library rather than a program;
  --exports     exactly these names, undecorated: the pilot looks its hook
                up by name, and a 32-bit __stdcall export left decorated
                ("name@12") is not found.

Prints one line per fault, naming the file, and exits 1 when there is any.
Reads the PE file itself (standard library only), so it runs on any host.
"""

import os
import struct
import sys

MACHINES = {0x14c: 'i386', 0x8664: 'amd64', 0xaa64: 'arm64'}
SUBSYSTEMS = {2: 'gui', 3: 'console'}
IMAGE_FILE_DLL = 0x2000
# DllCharacteristics bits that --hardened asks for: (bit, linker option, PE32+ only).
HARDENING_FLAGS = ((0x40, '--dynamicbase', False), (0x100, '--nxcompat', False), (0x20, '--high-entropy-va', True))

# Libraries that come with Windows (and with Wine) under these names.
SYSTEM_DLLS = {'kernel32.dll', 'user32.dll', 'advapi32.dll', 'msvcrt.dll', 'gdi32.dll',
               'shell32.dll', 'ntdll.dll'}
# What MinGW-w64 links in as a DLL unless told -static.
MINGW_RUNTIME_PREFIXES = ('libgcc', 'libstdc++', 'libwinpthread', 'libssp', 'libatomic')


class PeError(Exception):
    pass


class Pe:
    """The headers, imports and exports of one PE file."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b'MZ' or len(data) < 0x40:
            raise PeError('not a Windows program (no MZ header)')
        pe = self.u32(0x3c)
        if data[pe:pe + 4] != b'PE\0\0':
            raise PeError('not a PE file (no PE signature)')
        (self.machine, sections, _, _, _, optional_size,
         self.characteristics) = struct.unpack_from('<HHIIIHH', data, pe + 4)
        opt = pe + 24
        magic = self.u16(opt)
        if magic not in (0x10b, 0x20b):
            raise PeError('unknown optional header magic 0x%x' % magic)
        self.pe32plus = magic == 0x20b
        self.subsystem_version = (self.u16(opt + 48), self.u16(opt + 50))
        self.subsystem = self.u16(opt + 68)
        self.dll_characteristics_offset = opt + 70
        self.dll_characteristics = self.u16(opt + 70)
        dirs = opt + (112 if self.pe32plus else 96)
        count = self.u32(dirs - 4)
        self.directories = [struct.unpack_from('<II', data, dirs + 8 * i) for i in range(min(count, 16))]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            vsize, vaddr, rawsize, rawptr = struct.unpack_from('<IIII', data, table + 40 * i + 8)
            self.sections.append((vaddr, max(vsize, rawsize), rawptr, rawsize))

    def u16(self, offset):
        return struct.unpack_from('<H', self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from('<I', self.data, offset)[0]

    def offset(self, rva):
        for vaddr, size, rawptr, rawsize in self.sections:
            if vaddr <= rva < vaddr + size and rva - vaddr < rawsize:
                return rawptr + rva - vaddr
        raise PeError('address 0x%x lies in no section' % rva)

    def string(self, rva):
        start = self.offset(rva)
        end = self.data.index(b'\0', start)
        return self.data[start:end].decode('latin-1')

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imports(self):
        """[(dll in lower case, function name or '#ordinal')], the delay-loaded ones too."""
        out = []
        thunk_size, ordinal_flag = (8, 1 << 63) if self.pe32plus else (4, 1 << 31)
        for index, entry_size, name_field, thunk_fields in ((1, 20, 12, (0, 16)), (13, 32, 4, (16, 12))):
            rva, _ = self.directory(index)
            if not rva:
                continue
            entry = self.offset(rva)
            while True:
                fields = struct.unpack_from('<%dI' % (entry_size // 4), self.data, entry)
                if not any(fields):
                    break
                dll = self.string(fields[name_field // 4]).lower()
                thunks = fields[thunk_fields[0] // 4] or fields[thunk_fields[1] // 4]
                at = self.offset(thunks)
                while True:
                    value = struct.unpack_from('<Q' if self.pe32plus else '<I', self.data, at)[0]
                    if not value:
                        break
                    if value & ordinal_flag:
                        out.append((dll, '#%d' % (value & 0xffff)))
                    else:
                        out.append((dll, self.string((value & 0x7fffffff) + 2)))
                    at += thunk_size
                entry += entry_size
        return out

    def exports(self):
        rva, _ = self.directory(0)
        if not rva:
            return []
        at = self.offset(rva)
        count, names = self.u32(at + 24), self.u32(at + 32)
        return [self.string(self.u32(self.offset(names) + 4 * i)) for i in range(count)]


def read_allowed(path):
    allowed = set()
    with open(path, encoding='ascii') as f:
        for line in f:
            fields = line.split()
            if len(fields) == 2 and not line.startswith('#'):
                allowed.add((fields[0].lower(), fields[1]))
    return allowed


def faults_of(pe, opts):
    faults = []
    machine = MACHINES.get(pe.machine, '0x%x' % pe.machine)
    if opts['machine'] and machine != opts['machine']:
        faults.append('machine type %s, expected %s' % (machine, opts['machine']))
    is_dll = bool(pe.characteristics & IMAGE_FILE_DLL)
    if is_dll != opts['dll']:
        faults.append('is %s, expected %s' % (('a library', 'a program') if is_dll else ('a program', 'a library')))
    if opts['subsystem']:
        kind, _, version = opts['subsystem'].partition(':')
        got = SUBSYSTEMS.get(pe.subsystem, 'subsystem %d' % pe.subsystem)
        if got != kind:
            faults.append('%s subsystem, expected %s' % (got, kind))
        got_version = '%d.%d' % pe.subsystem_version
        if version and got_version != version:
            faults.append('subsystem version %s, expected %s' % (got_version, version))
    if opts['hardened']:
        for bit, option, pe32plus_only in HARDENING_FLAGS:
            if (pe.pe32plus or not pe32plus_only) and not pe.dll_characteristics & bit:
                faults.append('DllCharacteristics lack 0x%x: link with -Wl,%s' % (bit, option))
    if opts['imports']:
        allowed = read_allowed(os.path.join(os.path.dirname(os.path.abspath(__file__)), 'win98-imports.txt')) \
            if opts['imports'] == 'win98' else None
        reported = set()
        for dll, function in pe.imports():
            if dll == 'setupapi.dll':
                fault = 'imports the setup API (setupapi.dll %s); it must be loaded by name' % function
            elif dll.startswith(MINGW_RUNTIME_PREFIXES):
                fault = 'imports the MinGW runtime library %s, which Windows lacks: link it statically' % dll
            elif allowed is not None and (dll, function) not in allowed:
                fault = 'imports %s %s, which Windows 98 may lack (tools/win98-imports.txt)' % (dll, function)
            elif allowed is None and dll not in SYSTEM_DLLS:
                fault = 'imports %s, which is not a system library' % dll
            else:
                continue
            if fault not in reported:
                reported.add(fault)
                faults.append(fault)
    if opts['exports'] is not None:
        names = pe.exports()
        for want in opts['exports']:
            if want in names:
                continue
            decorated = [n for n in names if n.lstrip('_').split('@')[0] == want]
            if decorated:
                faults.append('exports %s, a decorated name; expected plain %s (link with -Wl,--kill-at)'
                              % (decorated[0], want))
            else:
                faults.append('does not export %s' % want)
        for name in names:
            if name not in opts['exports'] and name.lstrip('_').split('@')[0] not in opts['exports']:
                faults.append('exports %s, which it should not' % name)
    return faults


def main(argv):
    opts = {'machine': None, 'subsystem': None, 'imports': None, 'dll': False, 'exports': None, 'hardened': False}
    files = []
    args = list(argv)
    while args:
        a = args.pop(0)
        if a in ('--dll', '--hardened'):
            opts[a[2:]] = True
        elif a in ('--machine', '--subsystem', '--imports', '--exports') and args:
            value = args.pop(0)
            opts[a[2:]] = [n for n in value.split(',') if n] if a == '--exports' else value
        elif a.startswith('--'):
            print('check-pe: unknown option %s' % a, file=sys.stderr)
            return 2
        else:
            files.append(a)
    if opts['imports'] not in (None, 'win98', 'system') or opts['machine'] not in (None, 'i386', 'amd64') \
            or not files:
        print(__doc__.strip().split('\n\n')[1], file=sys.stderr)
        return 2
    status = 0
    for path in files:
        try:
            with open(path, 'rb') as f:
                faults = faults_of(Pe(f.read()), opts)
        except (OSError, PeError, struct.error, ValueError) as e:
            faults = ['cannot be read as a PE file: %s' % e]
        for fault in faults:
            print('check-pe: %s: %s' % (path, fault), file=sys.stderr)
            status = 1
    return status


if __name__ == '__main__':
    sys.exit(main(sys.argv[1:]))
