#!/usr/bin/python3
"""The tags of a waveform file's header, read without the program's code.

  wave_tags.py WAVEFILE

prints one line "NAME|value" per tag, in file order, up to and with the data
block, whose line is "WAVEFORM-n|" (IWAVEFORM, UWAVEFORM alike). A tag's
value runs from its first ":" to the "}" that pairs with its "{", braces
inside the value counted in pairs.
"""
import sys


def tags(path):
    raw = open(path, 'rb').read()
    at = 0
    while True:
        start = raw.find(b'{', at)
        if start < 0:
            return 0
        colon = raw.find(b':', start)
        if colon < 0:
            print('error=tag without a colon at byte %d' % start)
            return 1
        name = raw[start + 1:colon].decode('utf-8', 'replace')
        if 'WAVEFORM' in name:
            print('%s|' % name)
            return 0
        depth, end = 0, start
        while end < len(raw):
            depth += {ord('{'): 1, ord('}'): -1}.get(raw[end], 0)
            if depth == 0:
                break
            end += 1
        if depth != 0:
            print('error=tag %s has no closing brace' % name)
            return 1
        print('%s|%s' % (name, raw[colon + 1:end].decode('utf-8', 'replace')))
        at = end + 1


if __name__ == '__main__':
    if len(sys.argv) != 2:
        print(__doc__)
        sys.exit(2)
    sys.exit(tags(sys.argv[1]))
