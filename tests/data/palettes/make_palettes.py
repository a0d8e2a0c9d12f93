#!/usr/bin/env python3
# Writes the palette files the palette-file tests read. Not run by the build:
# the files are kept in the repository, so that the exact bytes (CR LF line
# ends, binary tables) are what the tests see; run again only to change them.
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))

# The colours every "order" file holds, in this order: not sorted, and with
# unequal channels so that a reversed order or swapped channels show.
ORDER = [(0x10, 0x20, 0x30), (0xFF, 0x80, 0x00), (0x00, 0x00, 0x00), (0x0A, 0x0B, 0x0C), (0xFF, 0xFF, 0xFF)]


def put(name, data):
    if isinstance(data, str):
        data = data.encode()
    with open(os.path.join(here, name), 'wb') as f:
        f.write(data)


def table(colours, fill=0):
    data = b''.join(bytes(c) for c in colours)
    return data + bytes([fill]) * (768 - len(data))


# Read cases: each holds ORDER.
put('order.gpl',
    'GIMP Palette\n'
    'Name: Order test\n'
    'Columns: 4\n'
    '# a comment\n'
    '\n'
    ' 16  32  48\tdeep blue\n'
    '255\t128\t0 orange, with a name of several words\n'
    '  0   0   0\n'
    '#   1 2 3 is a comment, not a colour\n'
    '10 11 12\n'
    '255 255 255 White\n')
put('order-crlf.pal', 'JASC-PAL\r\n0100\r\n5\r\n16 32 48\r\n255 128 0\r\n0 0 0\r\n10 11 12\r\n255 255 255\r\n')
put('order-cr.pal', 'JASC-PAL\r0100\r5\r16 32 48\r255 128 0\r0 0 0\r10 11 12\r255 255 255\r')  # CR only
put('order-cr.gpl', 'GIMP Palette\rName: CR only\r\r16 32 48 a\r255 128 0\r0 0 0\r10 11 12\r255 255 255')
put('order-lf.pal', 'JASC-PAL\n0100\n5\n16 32 48\n255 128 0\n0 0 0\n10 11 12\n255 255 255')  # no final LF
BOM = '\ufeff'  # a UTF-8 byte order mark, which some editors put in front
put('order.hex',
    BOM + '; a whole-line comment\n'
    '#102030\n'
    'ff8000 ; orange\n'
    '\n'
    '000000\n'
    '  0a0B0C\t;mixed case\n'
    '#FFFFFF\n')
# Certain contents win over the extension.
put('gimp-content.txt', BOM + 'GIMP Palette\n16 32 48\n255 128 0\n0 0 0\n10 11 12\n255 255 255\n')
put('jasc-content.hex', 'JASC-PAL\r\n0100\r\n5\r\n16 32 48\r\n255 128 0\r\n0 0 0\r\n10 11 12\r\n255 255 255\r\n')
# With no extension of a format, the content is tried.
put('jasc-content.dat', 'JASC-PAL\n0100\n5\n16 32 48\n255 128 0\n0 0 0\n10 11 12\n255 255 255\n')
put('hex-content', '#102030\nff8000\n000000\n0a0b0c\nffffff\n')
put('table-content.pal', table(ORDER) + struct.pack('>HH', 5, 0xFFFF))

# Colour tables: all 256 entries (i, 255 - i, i ^ 0x5A); a count of 5 and a
# transparent index 2, the unused entries 0xEE; 768 bytes of text, which the
# extension makes a table although it starts like a GIMP palette.
put('full.act', b''.join(bytes([i, 255 - i, i ^ 0x5A]) for i in range(256)))
put('counted.act', table(ORDER, 0xEE) + struct.pack('>HH', 5, 2))
put('text.act', ('GIMP Palette\n' + '0 0 0\n' * 125).ljust(768, '.'))

# What the program writes for ORDER to written.EXT.
put('written.gpl', 'GIMP Palette\nName: written\nColumns: 16\n'
    + ''.join('%3d %3d %3d\n' % c for c in ORDER))
put('written.pal', 'JASC-PAL\n0100\n5\n' + ''.join('%d %d %d\n' % c for c in ORDER))
put('written.hex', ''.join('%02x%02x%02x\n' % c for c in ORDER))
put('written.act', table(ORDER) + struct.pack('>HH', 5, 0xFFFF))
