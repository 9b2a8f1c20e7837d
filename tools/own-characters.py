#!/usr/bin/python3
"""Writes the table of the program's own characters.

    own-characters.py OUTPUT SOURCE...

The program's texts are code page 932 (its sources are UTF-8, compiled with
-fexec-charset=CP932). On the NT family they are shown and logged in
Unicode, and an English Windows may have no code page 932 to convert them
with. So the build lists every character outside ASCII that a string
literal of SOURCE uses, with its code page 932 code and its UTF-16 form,
sorted by code, as C++ (common/own_text.h declares it). Comments are
skipped: only what the program can show is listed.
"""

import sys


def string_literals(text):
    """The contents of every "..." literal of C++ source `text`, comments skipped."""
    i, n = 0, len(text)
    while i < n:
        if text.startswith('//', i):
            i = text.find('\n', i)
            i = n if i < 0 else i
        elif text.startswith('/*', i):
            i = text.find('*/', i + 2)
            i = n if i < 0 else i + 2
        elif text[i] == "'":
            i += 1
            while i < n and text[i] != "'":
                i += 2 if text[i] == '\\' else 1
            i += 1
        elif text[i] == '"':
            start = i = i + 1
            while i < n and text[i] != '"':
                i += 2 if text[i] == '\\' else 1
            yield text[start:i]
            i += 1
        else:
            i += 1


def main(output, sources):
    characters = set()
    for source in sources:
        with open(source, encoding='utf-8') as f:
            for literal in string_literals(f.read()):
                characters.update(c for c in literal if ord(c) > 0x7F)
    rows = []
    for c in characters:
        code = c.encode('cp932')            # what the compiler put in the program
        unicode = code.decode('cp932')      # what Windows reads back from it
        if len(unicode) != 1 or ord(unicode) > 0xFFFF:
            sys.exit('%s: U+%04X has no single UTF-16 unit' % (output, ord(c)))
        rows.append((int.from_bytes(code, 'big'), ord(unicode)))
    rows.sort()
    lines = ['/* Written by tools/own-characters.py from %s: do not edit. */' % ' '.join(sources),
             '#include "../../common/own_text.h"',
             '',
             'const OwnCharacter own_characters[] = {']
    lines += ['    {0x%04X, 0x%04X},' % row for row in rows]
    lines += ['};', 'const int own_character_count = %d;' % len(rows), '']
    with open(output, 'w', encoding='ascii', newline='\n') as f:
        f.write('\n'.join(lines))


if __name__ == '__main__':
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2:])
