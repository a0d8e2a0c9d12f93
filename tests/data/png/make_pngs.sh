#!/usr/bin/env bash
# Makes the PNG test files with ImageMagick from small bitmaps written here.
# Not run by the build: the files are kept in the repository.
set -euo pipefail
cd "$(dirname "$0")"
python3 - <<'EOF'
import struct
def bmp24(path, w, h, px):
    stride = (w * 3 + 3) // 4 * 4
    data = b''
    for y in range(h - 1, -1, -1):
        row = b''.join(struct.pack('BBB', px[y][x][2], px[y][x][1], px[y][x][0]) for x in range(w))
        data += row + b'\0' * (stride - 3 * w)
    hdr = struct.pack('<2sIHHI', b'BM', 54 + len(data), 0, 0, 54) + struct.pack('<IiiHHIIiiII', 40, w, h, 1, 24, 0, len(data), 0, 0, 0, 0)
    open(path, 'wb').write(hdr + data)
W, H = 9, 5
def pic(colours):
    return [[colours[(x * 3 + y * 5 + x * y) % len(colours)] for x in range(W)] for y in range(H)]
bmp24('src2.bmp', W, H, pic([(200, 30, 40), (10, 90, 250)]))
bmp24('src4.bmp', W, H, pic([(200, 30, 40), (10, 90, 250), (0, 0, 0), (255, 255, 0)]))
bmp24('src12.bmp', W, H, pic([(i * 20, 255 - i * 20, (i * 77) % 256) for i in range(12)]))
bmp24('src100.bmp', W, H, [[((x * 37 + y * 11) % 256, (x * y * 13) % 256, (x + y) * 20 % 256) for x in range(W)] for y in range(H)])
bmp24('grey.bmp', W, H, [[((x * 29 + y * 41) % 256,) * 3 for x in range(W)] for y in range(H)])
bmp24('rgb.bmp', W, H, [[((x * 29) % 256, (y * 61) % 256, (x * y * 7 + 3) % 256) for x in range(W)] for y in range(H)])
EOF
alpha="-alpha set -channel A -evaluate set 40% +channel"
convert src2.bmp +dither -colors 2 -define png:bit-depth=1 PNG8:pal1.png
convert src4.bmp +dither -colors 4 -define png:bit-depth=2 PNG8:pal2.png
convert src12.bmp -define png:bit-depth=4 -define png:color-type=3 pal4.png
convert src100.bmp -define png:bit-depth=8 -define png:color-type=3 pal8.png
convert grey.bmp -colorspace Gray -define png:bit-depth=8 -define png:color-type=0 grey8.png
convert grey.bmp -colorspace Gray -define png:bit-depth=16 -define png:color-type=0 grey16.png
convert grey.bmp -colorspace Gray $alpha -define png:bit-depth=8 -define png:color-type=4 greyalpha8.png
convert grey.bmp -colorspace Gray $alpha -define png:bit-depth=16 -define png:color-type=4 greyalpha16.png
convert rgb.bmp -define png:bit-depth=8 -define png:color-type=2 rgb8.png
convert rgb.bmp -define png:bit-depth=16 -define png:color-type=2 rgb16.png
convert rgb.bmp $alpha -define png:bit-depth=8 -define png:color-type=6 rgba8.png
convert rgb.bmp $alpha -define png:bit-depth=16 -define png:color-type=6 rgba16.png
convert rgb.bmp -interlace PNG -define png:bit-depth=8 -define png:color-type=2 rgb8-interlaced.png
