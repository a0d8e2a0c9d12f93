#!/usr/bin/env python3
# Writes the input files of the golden cases (in/). Not run by the build: the
# files are kept in the repository; run again only to add an input.
import math
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))
out = os.path.join(here, 'in')
os.makedirs(out, exist_ok=True)


def put(name, data):
    with open(os.path.join(out, name), 'wb') as f:
        f.write(data)


def bmp(name, w, h, bits, rows, palette=None, extra=b'', bftype=b'BM'):
    """rows: top row first; each a list of indices (1/4/8), 16-bit words or (r, g, b)."""
    stride = (w * bits + 31) // 32 * 4
    data = b''
    for row in reversed(rows):
        if bits == 24:
            raw = b''.join(struct.pack('BBB', b, g, r) for (r, g, b) in row)
        elif bits == 16:
            raw = b''.join(struct.pack('<H', v) for v in row)
        else:
            acc, n, raw = 0, 0, b''
            for v in row:
                acc = (acc << bits) | v
                n += bits
                if n == 8:
                    raw += bytes([acc])
                    acc, n = 0, 0
            if n:
                raw += bytes([acc << (8 - n)])
        data += raw + b'\0' * (stride - len(raw))
    pal = b''
    if bits < 16:
        entries = list(palette) + [(0, 0, 0)] * ((1 << bits) - len(palette))
        pal = b''.join(struct.pack('BBBB', b, g, r, 0) for (r, g, b) in entries)
    off = 54 + len(pal)
    header = struct.pack('<2sIHHI', bftype, off + len(data), 0, 0, off)
    info = struct.pack('<IiiHHIIiiII', 40, w, h, 1, bits, 0, len(data), 0, 0, 0, 0)
    put(name, header + info + pal + data + extra)


# A photo-like picture: smooth gradients, fine detail and noise.
def photo(w, h, seed):
    s = seed * 747796405 + 2891336453
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            fx, fy = x / w, y / h
            r = 255 * fx * (1 - 0.3 * fy) + 20 * math.sin(x * 0.21 + seed)
            g = 255 * fy * (0.6 + 0.4 * fx) + 15 * math.cos(y * 0.17)
            b = 128 + 110 * math.sin((fx + fy) * 3.1 + seed * 0.5) + 10 * math.sin(x * y * 0.001)
            px = []
            for v in (r, g, b):
                s = (s * 1664525 + 1013904223) % (1 << 32)
                px.append(max(0, min(255, int(v) + (s >> 24) % 17 - 8)))
            row.append(tuple(px))
        rows.append(row)
    return rows


bmp('photo.bmp', 96, 64, 24, photo(96, 64, 1))

# Pixel art: a key-coloured (C0C0C0) background, an outlined shape.
sprite = []
for y in range(16):
    row = []
    for x in range(16):
        d = (x - 7.5) ** 2 + (y - 7.5) ** 2
        if d < 20:
            row.append((248, 200, 40) if (x + y) % 5 else (255, 255, 255))
        elif d < 36:
            row.append((160, 40, 30))
        elif d < 50:
            row.append((0, 0, 0))
        else:
            row.append((192, 192, 192))
    sprite.append(row)
bmp('sprite.bmp', 16, 16, 24, sprite)
bmp('sprite-appended.bmp', 16, 16, 24, sprite, extra=b'\0')
bmp('sprite-not-bm.bmp', 16, 16, 24, sprite, bftype=b'XY')

bmp('red-blue.bmp', 2, 1, 24, [[(255, 0, 0), (0, 0, 255)]])
bmp('row2.bmp', 2, 1, 24, [[(10, 100, 200), (250, 50, 0)]])
bmp('row3.bmp', 3, 1, 24, [[(10, 100, 200), (250, 50, 0), (30, 61, 91)]])
bmp('row4.bmp', 4, 1, 24, [[(10, 100, 200), (250, 50, 0), (30, 61, 91), (7, 9, 255)]])
bmp('col5x4.bmp', 5, 4, 24, [[((x * 50 + y * 7) % 256, (y * 60) % 256, (x * y * 20) % 256) for x in range(5)] for y in range(4)])

# 1 bit: black and white 8 x 8 pattern; 9 x 2 with index 0 kept.
bmp('checker-1bit.bmp', 8, 8, 1, [[(x * y + x + y) % 3 % 2 for x in range(8)] for y in range(8)],
    palette=[(0, 0, 0), (255, 255, 255)])
bmp('pal1.bmp', 9, 2, 1, [[(x + y) % 2 for x in range(9)] for y in range(2)], palette=[(10, 20, 30), (200, 210, 220)])

# 4 bit, 9 x 5: index 0 pixels move to the nearest other entry (here entry 3).
pal4 = [(100, 100, 100), (255, 0, 0), (0, 255, 0), (104, 98, 100), (0, 0, 255)] + \
       [(i * 16, 255 - i * 16, i * 9) for i in range(5, 16)]
bmp('pal4.bmp', 9, 5, 4, [[(x * 3 + y * 5 + x * y) % 16 for x in range(9)] for y in range(5)], palette=pal4)
bmp('pal4-16x8.bmp', 16, 8, 4, [[(x + 2 * y) % 15 + 1 for x in range(16)] for y in range(8)], palette=pal4)

# 8 bit, 16 x 16: entries 0, 5 and 7 black, so index 0 pixels take index 5.
pal8 = [((i * 37) % 256, (i * 91) % 256, (i * 53) % 256) for i in range(256)]
pal8[0] = pal8[5] = pal8[7] = (0, 0, 0)
bmp('pal8.bmp', 16, 16, 8, [[(x * 7 + y * 16) % 24 for x in range(16)] for y in range(16)], palette=pal8)
# 8 bit with the same colour at indices 9 and 200 (the highest is made transparent).
pal8b = list(pal8)
pal8b[200] = pal8b[9]
bmp('pal8-twice.bmp', 16, 8, 8, [[(9, 200, 12, 13)[(x + y) % 4] for x in range(16)] for y in range(8)], palette=pal8b)

# 16 bit, 8 x 4: 5-5-5 words.
bmp('rgb16.bmp', 8, 4, 16, [[(x * 4 << 10) | (y * 8 << 5) | (x * y) for x in range(8)] for y in range(4)])

# LZSS inputs: the worked examples.
put('empty.bin', b'')
put('abc.txt', b'abc')
put('abcabc.txt', b'abcabc')
put('aaaaaa.txt', b'aaaaaa')
put('abcab.txt', b'abcab')
put('abcXabcYabc.txt', b'abcXabcYabc')
put('abcdefgh10.txt', b'abcdefgh' * 10)
put('x100.txt', b'x' * 100)

# Malformed LZSS streams.
def lz(tail):
    return b'LZSS' + bytes(tail)
put('bad-short.lzss', b'LZSS\0')
put('bad-flags-past-end.lzss', lz([0, 5, 0]))
put('bad-before-start.lzss', lz([0, 1, 0x40, ord('a'), 0x00, 0x40]))
put('bad-first-match.lzss', lz([0, 1, 0x80, 0x00, 0x20]))
put('bad-second-byte.lzss', lz([0, 1, 0x40, ord('a'), 0x00]))
put('bad-distance-zero.lzss', lz([0, 1, 0x40, ord('a'), 0x00, 0x01]))
put('bad-more-tokens.lzss', lz([0, 1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9]))
put('overlap.lzss', lz([0, 1, 0x20, ord('a'), ord('b'), 0x00, 0x42]))
put('spare-flags.lzss', lz([0, 3, 0x1F, 0xFF, 0xFF, ord('a'), ord('b'), ord('c')]))

# Hostile sizes: small files that claim huge pictures.
def claim(name, w, h, bits=24, compression=0, header=40, tail=b''):
    stride = (w * bits + 31) // 32 * 4
    pal = b'\0' * (4 << bits) if bits < 16 else b''
    data = tail if tail else b'\0' * 48
    off = 14 + header + len(pal)
    head = struct.pack('<2sIHHI', b'BM', off + len(data), 0, 0, off)
    info = struct.pack('<IiiHHIIiiII', header, w, h, 1, bits, compression, len(data), 0, 0, 0, 0)
    info += b'\0' * (header - 40)
    put(name, head + info + pal + data)
claim('claims-million-square.bmp', 1000000, 1000000)
claim('claims-million-square-v5.bmp', 1000000, 1000000, header=124)
claim('claims-million-square-rle.bmp', 1000000, 1000000, bits=8, compression=1, tail=b'\0\1')
claim('claims-8000-square-rle.bmp', 8000, 8000, bits=8, compression=1, tail=b'\0\1')
put('claims-65535-square.d', bytes([0xFF, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 7, 8]))
put('zero-width.d', bytes([0, 0, 0, 5]))

# A 1-bit bitmap 65536 pixels wide: loads, but its export header cannot hold the width.
bmp('wide-65536.bmp', 65536, 1, 1, [[0] * 65536], palette=[(0, 0, 0), (255, 255, 255)])

# Exported 4-bit data of an odd width (9 x 2, no palette): rows as the writer cuts them.
put('odd-width-4bit.d', bytes([0, 9, 0, 2]) + bytes(range(1, 10)))

# PNG files: one claiming 20000 x 20000 pixels, one cut short.
import zlib
def chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data) & 0xFFFFFFFF)
put('claims-20000-square.png', b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 20000, 20000, 8, 2, 0, 0, 0)) +
    chunk(b'IDAT', zlib.compress(b'\0' * 100)) + chunk(b'IEND', b''))
with open(os.path.join(here, '..', 'png', 'pal8.png'), 'rb') as f:
    put('cut-short.png', f.read()[:120])

# Pictures that come with transparency: a 16 x 16 RGBA sprite (alpha 0
# around it, 100 and 200 at its edge: below and above half), the same as
# grey with alpha, as palette + tRNS, as RGB + a transparent colour, and a
# 32-bit bitmap with an alpha mask.
def png(name, w, h, colour_type, bit_depth, raw_rows, extra_chunks=b''):
    raw = b''.join(b'\0' + row for row in raw_rows)
    put(name, b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, bit_depth, colour_type, 0, 0, 0)) +
        extra_chunks + chunk(b'IDAT', zlib.compress(raw)) + chunk(b'IEND', b''))

def alpha_at(x, y):
    d = (x - 7.5) ** 2 + (y - 7.5) ** 2
    return 255 if d < 30 else (200 if d < 38 else (100 if d < 46 else 0))

rgba_rows = []
for y in range(16):
    row = b''
    for x in range(16):
        r, g, b = sprite[y][x]
        if alpha_at(x, y) == 0:
            r, g, b = (x * 16, 255 - y * 16, 77)  # colours hidden under alpha 0
        row += bytes([r, g, b, alpha_at(x, y)])
    rgba_rows.append(row)
png('rgba-sprite.png', 16, 16, 6, 8, rgba_rows)
png('greyalpha-sprite.png', 16, 16, 4, 8,
    [bytes(v for x in range(16) for v in ((x * 13 + y * 7) % 256, alpha_at(x, y))) for y in range(16)])
plte = [(0, 0, 0), (255, 255, 255), (160, 40, 30), (248, 200, 40), (0, 128, 255)]
trns = bytes([255, 255, 255, 255, 0])  # index 4 transparent
png('pal-trns.png', 16, 16, 3, 8,
    [bytes(4 if alpha_at(x, y) < 128 else (x + y) % 4 for x in range(16)) for y in range(16)],
    chunk(b'PLTE', b''.join(bytes(c) for c in plte)) + chunk(b'tRNS', trns))
png('rgb-trns.png', 16, 16, 2, 8,
    [b''.join(bytes((0, 128, 255) if alpha_at(x, y) < 128 else sprite[y][x]) for x in range(16)) for y in range(16)],
    chunk(b'tRNS', struct.pack('>HHH', 0, 128, 255)))

def bmp32_alpha(name):
    w, h = 16, 16
    data = b''
    for y in reversed(range(h)):
        for x in range(w):
            r, g, b = sprite[y][x]
            data += struct.pack('<I', alpha_at(x, y) << 24 | r << 16 | g << 8 | b)
    header = 124
    info = struct.pack('<IiiHHIIiiII', header, w, h, 1, 32, 3, len(data), 0, 0, 0, 0)
    info += struct.pack('<IIII', 0x00FF0000, 0x0000FF00, 0x000000FF, 0xFF000000) + b'\0' * (header - 56)
    off = 14 + header
    put(name, struct.pack('<2sIHHI', b'BM', off + len(data), 0, 0, off) + info + data)
bmp32_alpha('alpha-sprite.bmp')

# Palettes: two entries, one entry, and a broken line.
put('two.hex', b'#000000\n#F8F8F8\n')
put('one.hex', b'102030\n')
put('bad.gpl', b'GIMP Palette\nName: bad\n0 0 0\n12 300 4\n')

# Two flat 8 x 8 tiles: ordered dithering keeps each tile's mean.
bmp('flat-tiles.bmp', 16, 8, 24, [[(13, 100, 240)] * 8 + [(60, 61, 201)] * 8 for _ in range(8)])
# Flat black and flat white: palette colours that ordered dithering leaves flat.
bmp('black-white.bmp', 16, 8, 24, [[(0, 0, 0)] * 8 + [(255, 255, 255)] * 8 for _ in range(8)])

# The report by hand: white stays white (248 shows as 255); grey 100 becomes
# 96, shown as 12 * 255 / 31; the third pixel is transparent and not counted.
png('report-3x1.png', 3, 1, 6, 8, [bytes((255, 255, 255, 255, 100, 100, 100, 255, 255, 0, 0, 0))])

# A sprite sheet: 3 x 2 frames of 16 x 16 in a 1-pixel margin, 2 pixels
# apart, and a column the right edge cuts through; palette + tRNS, index 0
# transparent, the last frame empty. The frames share 8 x 8 blocks, some
# mirrored.
sheet_plte = [(0, 0, 0), (255, 255, 255), (200, 40, 40), (40, 40, 200), (40, 160, 40)]
def sheet_block(kind, x, y):
    if kind == 'ring':
        return 2 if (x - 3.5) ** 2 + (y - 3.5) ** 2 < 10 else 0
    if kind == 'corner':
        return 3 if x + y < 6 else (1 if x == 7 else 0)
    return 4 if (x + y) % 3 == 0 else 0
def sheet_frame(f, x, y):
    if f == 5:
        return 0
    quads = [['ring', 'corner', 'corner', 'ring'], ['corner', 'corner', 'stripe', 'ring'],
             ['stripe', 'stripe', 'ring', 'ring'], ['ring', 'ring', 'ring', 'ring'], ['corner', 'stripe', 'corner', 'stripe']][f]
    q = (y // 8) * 2 + x // 8
    bx, by = x % 8, y % 8
    if q in (1, 3) and f % 2 == 1:
        bx = 7 - bx  # mirrored left to right
    if q >= 2 and f >= 3:
        by = 7 - by  # mirrored top to bottom
    return sheet_block(quads[q], bx, by)
sheet_w, sheet_h = 1 + 3 * 16 + 2 * 2 + 1 + 10, 1 + 2 * 16 + 2 + 1
sheet_rows = []
for y in range(sheet_h):
    row = []
    for x in range(sheet_w):
        v = 0
        fx, fy = (x - 1) // 18, (y - 1) // 18
        ix, iy = (x - 1) % 18, (y - 1) % 18
        if x >= 1 and y >= 1 and fx < 3 and fy < 2 and ix < 16 and iy < 16:
            v = sheet_frame(fy * 3 + fx, ix, iy)
        elif x >= 55:
            v = 1  # the column the edge cuts through
        row.append(v)
    sheet_rows.append(bytes(row))
png('sheet.png', sheet_w, sheet_h, 3, 8, sheet_rows,
    chunk(b'PLTE', b''.join(bytes(c) for c in sheet_plte)) + chunk(b'tRNS', bytes([0])))

# A screen of 8 x 8 blocks: one block, the same mirrored three ways, another,
# the first again, and one flat block twice.
def tile(kind, x, y):
    if kind == 'flat':
        return 3
    if kind == 'other':
        return 1 if (x * y) % 5 == 0 else 2
    ax, ay = (7 - x if kind in ('lr', 'both') else x), (7 - y if kind in ('tb', 'both') else y)
    return 1 if ax + 2 * ay < 7 else (2 if ax == ay else 3)
screen = ['a', 'lr', 'tb', 'both', 'other', 'a', 'flat', 'flat']
bmp('tiles.bmp', 32, 16, 8, [[tile(screen[(y // 8) * 4 + x // 8], x % 8, y % 8) for x in range(32)] for y in range(16)],
    [(0, 0, 0), (255, 255, 255), (200, 40, 40), (40, 40, 200)])

# Maps that do not fit the characters of tiles.bmp: cut short, a character
# past the end, a size that is not the words it holds.
put('map-truncated.map', struct.pack('>HH', 4, 2) + struct.pack('>5H', 0, 1, 2, 3, 4))
put('map-past-end.map', struct.pack('>HH', 4, 2) + struct.pack('>8H', 0, 1, 2, 3, 4, 0, 5, 9))
put('map-mirror-past-end.map', struct.pack('>HH', 2, 1) + struct.pack('>2H', 0xC000, 0x4007))

# Text exports as an editor may leave them: the 8 x 8 1-bit texture of the
# worked example with LF line ends; a text that is no export; one whose
# DATA lines hold fewer bytes than their comment says.
put('lf-1bit.bas', b"'/*header 8\x81\x7e8\x81\x7e1*/\ndata 00080008\n'/*palette data 8byte*/\ndata 8000FFFF\n"
    b"'/*image data 16byte*/\ndata 55AA55AA55AA55AA\n")
put('not-export.bas', b"'/*hello*/\r\n10 PRINT \"HI\"\r\n")
put('short-data.bas', b"'/*header 8\x81\x7e8\x81\x7e1*/\r\ndata 00080008\r\n'/*palette data 8byte*/\r\ndata 8000\r\n"
    b"'/*image data 16byte*/\r\ndata 55AA55AA55AA55AA\r\n")

# A PNG header claiming 8192 x 8192 pixels, with next to no data behind it.
put('claims-8192-square.png', b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', 8192, 8192, 8, 2, 0, 0, 0)) +
    chunk(b'IDAT', zlib.compress(b'')) + chunk(b'IEND', b''))
