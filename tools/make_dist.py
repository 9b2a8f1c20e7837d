#!/usr/bin/python3
"""Writes what ships beside the two programs, the same bytes from the same sources:

    make_dist.py README-SOURCE DIST-DIR

  DIST-DIR/ReadMe.txt         README-SOURCE (UTF-8) in code page 932 with CR LF
                              line ends, for Notepad on a Japanese Windows
  DIST-DIR/SHA256SUMS         the SHA-256 of the programs and ReadMe.txt, as
                              sha256sum writes them (sha256sum -c checks them)
  DIST-DIR/QZUninst-<v>.zip   QZUninst.exe, QZUninst64.exe, ReadMe.txt and
                              SHA256SUMS, with fixed dates, so that the archive
                              of unsigned programs is reproducible (a signature
                              holds its signing time)

The version comes from shell/version.h. A text that code page 932 cannot
hold, or a round trip that does not give the source back, stops the build.
"""

import hashlib
import os
import re
import sys
import zipfile

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FIXED_DATE = (2026, 1, 1, 0, 0, 0)  # zip entries carry no build time
SHIPPED = ('QZUninst.exe', 'QZUninst64.exe', 'ReadMe.txt')


def source_text(relative, pattern, what):
    """The first group of PATTERN in the source file RELATIVE (to the tree)."""
    with open(os.path.join(ROOT, relative), encoding='ascii') as f:
        m = re.search(pattern, f.read())
    if not m:
        raise SystemExit('%s: no %s in %s' % (os.path.basename(sys.argv[0]), what, relative))
    return m.group(1)


def version():
    return source_text(os.path.join('shell', 'version.h'), r'#define QZ_VERSION_TEXT "([0-9.]+)"', 'QZ_VERSION_TEXT')


def write_readme(source, target):
    with open(source, encoding='utf-8') as f:
        text = f.read()
    if '\r' in text:
        raise SystemExit('make_dist: %s must have LF line ends (CR LF is made here)' % source)
    try:
        data = text.replace('\n', '\r\n').encode('cp932')
    except UnicodeEncodeError as e:
        raise SystemExit('make_dist: %s: %s cannot be written in code page 932' % (source, text[e.start:e.end]))
    if data.decode('cp932').replace('\r\n', '\n') != text:
        raise SystemExit('make_dist: %s does not come back from code page 932 unchanged' % source)
    with open(target, 'wb') as f:
        f.write(data)


def write_sums(dist):
    # "<hex>  <name>" with LF line ends: the form sha256sum -c reads.
    lines = []
    for member in SHIPPED:
        with open(os.path.join(dist, member), 'rb') as f:
            lines.append('%s  %s\n' % (hashlib.sha256(f.read()).hexdigest(), member))
    with open(os.path.join(dist, 'SHA256SUMS'), 'w', encoding='ascii', newline='\n') as f:
        f.writelines(lines)


def write_zip(dist, name):
    path = os.path.join(dist, name)
    with zipfile.ZipFile(path + '.new', 'w', zipfile.ZIP_DEFLATED) as z:
        for member in SHIPPED + ('SHA256SUMS',):
            info = zipfile.ZipInfo(member, FIXED_DATE)
            info.compress_type = zipfile.ZIP_DEFLATED
            info.external_attr = 0o644 << 16
            with open(os.path.join(dist, member), 'rb') as f:
                z.writestr(info, f.read())
    os.replace(path + '.new', path)


def main(argv):
    if len(argv) != 2:
        raise SystemExit('usage: make_dist.py README-SOURCE DIST-DIR')
    source, dist = argv
    write_readme(source, os.path.join(dist, 'ReadMe.txt'))
    write_sums(dist)
    write_zip(dist, 'QZUninst-%s.zip' % version())


if __name__ == '__main__':
    main(sys.argv[1:])
