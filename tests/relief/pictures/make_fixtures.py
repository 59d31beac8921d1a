#!/usr/bin/env python3
"""Builds the picture fixtures of the picture-layer tests.

Every file is written byte by byte here (Python standard library only), so a reader can see
exactly which header, palette, mask and compression each fixture carries. Run it from any
folder; it rewrites the fixtures beside itself and the table expected.txt:

    name stored-bits-per-pixel width height tolerance RRGGBB ...

The colours are listed row by row from the top row of the picture, as the picture should look
after it has been raised to 24 bits per pixel. A line "name FAIL" names a file that must be
refused.
"""

import os
import struct
import zlib

HERE = os.path.dirname(os.path.abspath(__file__))

# Odd width: rows need padding, 1-bit and 4-bit rows end in a half-used byte.
W, H = 11, 4


def motif(n, width=W, height=H):
    """Palette indexes, rows from the top. Neither row order nor column order is symmetric,
    so a flipped or mirrored picture cannot pass for the right one."""
    return [[(x + 5 * y) % n for x in range(width)] for y in range(height)]


def hexgrid(rows):
    return ' '.join('%02x%02x%02x' % c for row in rows for c in row)


expected = []


def expect(name, bpp, rows, tolerance=0):
    expected.append('%s %d %d %d %d %s' % (name, bpp, len(rows[0]), len(rows), tolerance,
                                           hexgrid(rows)))


def expect_failure(name):
    expected.append('%s FAIL' % name)


def save(name, data):
    with open(os.path.join(HERE, name), 'wb') as f:
        f.write(data)


# ---------------------------------------------------------------- BMP

def pad4(b):
    return b + b'\0' * (-len(b) % 4)


def pack_bits(indexes, bpp):
    out = bytearray()
    per_byte = 8 // bpp
    for i in range(0, len(indexes), per_byte):
        v = 0
        for j in range(per_byte):
            p = indexes[i + j] if i + j < len(indexes) else 0
            v = (v << bpp) | p
        out.append(v)
    return bytes(out)


def pack_row(values, bpp):
    if bpp in (1, 4):
        return pad4(pack_bits(values, bpp))
    if bpp == 8:
        return pad4(bytes(values))
    if bpp == 16:
        return pad4(b''.join(struct.pack('<H', v) for v in values))
    if bpp == 24:
        return pad4(b''.join(bytes((b, g, r)) for (r, g, b) in values))
    if bpp == 32:
        return b''.join(struct.pack('<I', v) for v in values)
    raise ValueError(bpp)


def info_header(size, width, height, bpp, compression=0, clr_used=0, masks=(), image_size=0):
    h = struct.pack('<IiiHHIIiiII', size, width, height, 1, bpp, compression, image_size,
                    2835, 2835, clr_used, 0)
    if size >= 52:
        m = list(masks) + [0] * (4 - len(masks))
        h += struct.pack('<III', *m[:3])
    if size >= 56:
        h += struct.pack('<I', m[3])
    if size >= 108:
        h += struct.pack('<I', 0x73524742)  # 'sRGB'
        h += b'\0' * 36 + b'\0' * 12  # endpoints and gamma, unused with sRGB
    if size >= 124:
        h += struct.pack('<IIII', 4, 0, 0, 0)  # LCS_GM_IMAGES, no profile
    assert len(h) == size, (len(h), size)
    return h


def bmp_file(header, palette_bytes, pixel_bytes, extra_before_pixels=b''):
    off = 14 + len(header) + len(palette_bytes) + len(extra_before_pixels)
    body = header + palette_bytes + extra_before_pixels + pixel_bytes
    return b'BM' + struct.pack('<IHHI', 14 + len(body), 0, 0, off) + body


def palette4(colours):
    return b''.join(bytes((b, g, r, 0)) for (r, g, b) in colours)


def palette3(colours):
    return b''.join(bytes((b, g, r)) for (r, g, b) in colours)


def rows_bottom_up(rows, bpp):
    return b''.join(pack_row(r, bpp) for r in reversed(rows))


def colours_of(rows, table):
    return [[table[i] for i in r] for r in rows]


BLACK, WHITE = (0, 0, 0), (255, 255, 255)

# Sixteen colours that differ in every channel, so a swapped channel or a wrong index shows.
COLOURS16 = [(0, 0, 0), (128, 0, 0), (0, 128, 0), (128, 128, 0), (0, 0, 128), (128, 0, 128),
             (0, 128, 128), (192, 192, 192), (128, 128, 128), (255, 0, 0), (0, 255, 0),
             (255, 255, 0), (0, 0, 255), (255, 0, 255), (0, 255, 255), (255, 255, 255)]
COLOURS24 = [(10 * i + 3, 250 - 9 * i, (37 * i) % 256) for i in range(24)]
COLOURS7 = [(255, 0, 0), (0, 255, 0), (0, 0, 255), (12, 34, 56), (200, 150, 100),
            (255, 255, 255), (1, 2, 3)]


def make_bmps():
    # 1 bit, entry 0 white and entry 1 black: a 0 bit is white paper.
    idx = motif(2)
    pal = [WHITE, BLACK]
    save('bmp1.bmp', bmp_file(info_header(40, W, H, 1), palette4(pal), rows_bottom_up(idx, 1)))
    expect('bmp1.bmp', 1, colours_of(idx, pal))

    # 12-byte core header: 16-bit width and height, 3-byte palette entries.
    pal = [(0, 128, 255), (255, 64, 0)]
    save('bmp1-core.bmp', bmp_file(struct.pack('<IHHHH', 12, W, H, 1, 1), palette3(pal),
                                   rows_bottom_up(idx, 1)))
    expect('bmp1-core.bmp', 1, colours_of(idx, pal))

    idx = motif(16)
    save('bmp4.bmp', bmp_file(info_header(40, W, H, 4), palette4(COLOURS16),
                              rows_bottom_up(idx, 4)))
    expect('bmp4.bmp', 4, colours_of(idx, COLOURS16))

    # Only 20 palette entries stored (biClrUsed); indexes 20 to 23 name missing entries.
    idx = motif(24)
    save('bmp8-clrused.bmp', bmp_file(info_header(40, W, H, 8, clr_used=20),
                                      palette4(COLOURS24[:20]), rows_bottom_up(idx, 8)))
    expect('bmp8-clrused.bmp', 8, colours_of(idx, COLOURS24[:20] + [BLACK] * 4))

    # V4 header (108 bytes) with a full 256-entry palette behind it.
    full = COLOURS24 + [(7, 7, 7)] * 232
    save('bmp8-v4.bmp', bmp_file(info_header(108, W, H, 8), palette4(full),
                                 rows_bottom_up(idx, 8)))
    expect('bmp8-v4.bmp', 8, colours_of(idx, COLOURS24))

    # 16 bit 5-5-5 words, including bit 15 set: it carries no colour.
    words = [0x7FFF, 0x8000, 0x7C00, 0x03E0, 0x001F, 0xFFFF, 0x4210, 0x0421, 0x1234]

    def c555(v):
        return (((v >> 10) & 31) * 8, ((v >> 5) & 31) * 8, (v & 31) * 8)

    idx = motif(len(words))
    vals = [[words[i] for i in r] for r in idx]
    save('bmp16-555.bmp', bmp_file(info_header(40, W, H, 16), b'', rows_bottom_up(vals, 16)))
    expect('bmp16-555.bmp', 16, [[c555(v) for v in r] for r in vals])

    # The same layout spelled out as bit fields in a 56-byte header stays 16-bit as well.
    save('bmp16-555-v3.bmp',
         bmp_file(info_header(56, W, H, 16, compression=3,
                              masks=(0x7C00, 0x03E0, 0x001F, 0x8000)),
                  b'', rows_bottom_up(vals, 16)))
    expect('bmp16-555-v3.bmp', 16, [[c555(v) for v in r] for r in vals])

    # 5-6-5 bit fields after a 40-byte header: converted to 24 bits, channels scaled to 255.
    words = [0xFFFF, 0x0000, 0xF800, 0x07E0, 0x001F, 0x8410, 0x4208, 0x1234]

    def scale(v, bits):
        m = (1 << bits) - 1
        return (v * 255 + m // 2) // m

    def c565(v):
        return (scale(v >> 11, 5), scale((v >> 5) & 63, 6), scale(v & 31, 5))

    idx = motif(len(words))
    vals = [[words[i] for i in r] for r in idx]
    save('bmp16-565.bmp', bmp_file(info_header(40, W, H, 16, compression=3), b'',
                                   rows_bottom_up(vals, 16),
                                   struct.pack('<III', 0xF800, 0x07E0, 0x001F)))
    expect('bmp16-565.bmp', 24, [[c565(v) for v in r] for r in vals])

    idx = motif(7)
    rgb = colours_of(idx, COLOURS7)
    save('bmp24.bmp', bmp_file(info_header(40, W, H, 24), b'', rows_bottom_up(rgb, 24)))
    expect('bmp24.bmp', 24, rgb)

    # Negative height: rows stored from the top.
    save('bmp24-topdown.bmp', bmp_file(info_header(40, W, -H, 24), b'',
                                       b''.join(pack_row(r, 24) for r in rgb)))
    expect('bmp24-topdown.bmp', 24, rgb)

    # 32 bit without bit fields: bytes blue, green, red and an unused byte that holds junk.
    vals = [[(0x5A << 24) | (r << 16) | (g << 8) | b for (r, g, b) in row] for row in rgb]
    save('bmp32.bmp', bmp_file(info_header(40, W, H, 32), b'', rows_bottom_up(vals, 32)))
    expect('bmp32.bmp', 24, rgb)

    # 52-byte header with red in the lowest byte: the masks decide, not the usual order.
    vals = [[(r) | (g << 8) | (b << 16) | (0xEE << 24) for (r, g, b) in row] for row in rgb]
    save('bmp32-v2.bmp', bmp_file(info_header(52, W, H, 32, compression=3,
                                              masks=(0x000000FF, 0x0000FF00, 0x00FF0000)),
                                  b'', rows_bottom_up(vals, 32)))
    expect('bmp32-v2.bmp', 24, rgb)

    # V5 header, bit fields red-green-blue-alpha from the top byte down; alpha varies and is
    # ignored, as BMP alpha is too often left at zero by writers to be trusted.
    vals = [[(r << 24) | (g << 16) | (b << 8) | ((x * 23) & 0xFF)
             for x, (r, g, b) in enumerate(row)] for row in rgb]
    save('bmp32-v5.bmp',
         bmp_file(info_header(124, W, H, 32, compression=3,
                              masks=(0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF)),
                  b'', rows_bottom_up(vals, 32)))
    expect('bmp32-v5.bmp', 24, rgb)

    # BI_ALPHABITFIELDS with four masks after a 40-byte header: 10-10-10-2.
    tens = [(1023, 0, 0), (0, 1023, 0), (0, 0, 1023), (512, 256, 1), (1000, 3, 700),
            (1023, 1023, 1023), (0, 0, 0)]
    idx = motif(len(tens))
    vals = [[(3 << 30) | (tens[i][0] << 20) | (tens[i][1] << 10) | tens[i][2] for i in r]
            for r in idx]
    save('bmp32-alphabitfields.bmp',
         bmp_file(info_header(40, W, H, 32, compression=6), b'', rows_bottom_up(vals, 32),
                  struct.pack('<IIII', 0x3FF00000, 0x000FFC00, 0x000003FF, 0xC0000000)))
    expect('bmp32-alphabitfields.bmp', 24,
           [[tuple(scale(c, 10) for c in tens[i]) for i in r] for r in idx])


def rle_file(bpp, width, height, stream, colours):
    header = info_header(40, width, height, bpp, compression=1 if bpp == 8 else 2,
                         image_size=len(stream))
    return bmp_file(header, palette4(colours), stream)


def make_rles():
    # Each row: the first five pixels as one absolute run (padded to a 16-bit boundary), the
    # rest as encoded runs; rows end with end-of-line, the last one with end-of-bitmap.
    idx = motif(16)
    s = bytearray()
    for n, row in enumerate(reversed(idx)):
        s += bytes((0, 5)) + bytes(row[:5]) + b'\0'
        for p in row[5:]:
            s += bytes((1, p))
        s += bytes((0, 1)) if n == len(idx) - 1 else bytes((0, 0))
    save('bmp8-rle.bmp', rle_file(8, W, H, bytes(s), COLOURS16))
    expect('bmp8-rle.bmp', 8, colours_of(idx, COLOURS16))

    s = bytearray()
    for n, row in enumerate(reversed(idx)):
        s += bytes((0, 5)) + pack_bits(row[:5], 4) + b'\0'
        rest = row[5:]
        # encoded runs of 2 alternate the two nibbles; runs of 1 use the high nibble only
        for k, length in ((0, 2), (2, 2), (4, 1), (5, 1)):
            pair = rest[k:k + length] + [0] * (2 - length)
            s += bytes((length, (pair[0] << 4) | pair[1]))
        s += bytes((0, 1)) if n == len(idx) - 1 else bytes((0, 0))
    save('bmp4-rle.bmp', rle_file(4, W, H, bytes(s), COLOURS16))
    expect('bmp4-rle.bmp', 4, colours_of(idx, COLOURS16))

    # Delta, early end-of-line, a run past the right edge and an early end-of-bitmap. Pixels
    # that no run reaches keep index 0 (black here).
    w, h = 8, 4
    grid = [[0] * w for _ in range(h)]  # grid[0] is the bottom row here
    s = bytearray()
    s += bytes((4, 9))                 # bottom row: 4 x colour 9
    for x in range(4):
        grid[0][x] = 9
    s += bytes((0, 2, 2, 1))           # delta: right 2, up 1 -> (6, 1)
    s += bytes((0, 3, 10, 11, 12, 0))  # absolute run of 3 at (6, 1): the third falls off
    grid[1][6], grid[1][7] = 10, 11
    s += bytes((0, 0))                 # end of line -> (0, 2)
    s += bytes((12, 13))               # 12 x colour 13 on an 8-pixel row: clipped
    for x in range(w):
        grid[2][x] = 13
    s += bytes((0, 0, 1, 14))          # end of line, then one pixel at (0, 3)
    grid[3][0] = 14
    s += bytes((0, 1))                 # end of bitmap
    s += bytes((3, 15))                # after the end: ignored
    save('bmp8-rle-delta.bmp', rle_file(8, w, h, bytes(s), COLOURS16))
    expect('bmp8-rle-delta.bmp', 8, colours_of(list(reversed(grid)), COLOURS16))

    # An absolute run of 200 pixels with only a few bytes left in the file.
    s = bytes((2, 1, 0, 200, 1, 2, 3, 4))
    save('bmp8-rle-corrupt.bmp', rle_file(8, w, h, s, COLOURS16))
    expect_failure('bmp8-rle-corrupt.bmp')

    # Two pixels, then a delta past the top row: no row is left to fill, so what follows
    # (here a cut-off absolute run and no end-of-bitmap) is not read.
    s = bytes((2, 0x11, 0, 2, 0, 200, 0, 200, 1))
    save('bmp4-rle-delta-past-top.bmp', rle_file(4, w, h, s, COLOURS16))
    expect('bmp4-rle-delta-past-top.bmp', 4,
           colours_of(list(reversed([[1, 1] + [0] * 6] + [[0] * 8] * 3)), COLOURS16))


# ---------------------------------------------------------------- PNG

def png_chunk(kind, data):
    return struct.pack('>I', len(data)) + kind + data + struct.pack(
        '>I', zlib.crc32(kind + data) & 0xFFFFFFFF)


def png_file(width, height, bit_depth, colour_type, rows, extra=b''):
    raw = b''.join(b'\0' + r for r in rows)
    return (b'\x89PNG\r\n\x1a\n' +
            png_chunk(b'IHDR', struct.pack('>IIBBBBB', width, height, bit_depth, colour_type,
                                           0, 0, 0)) +
            extra + png_chunk(b'IDAT', zlib.compress(raw, 9)) + png_chunk(b'IEND', b''))


def over_white(c, a):
    return tuple((v * a + 255 * (255 - a) + 127) // 255 for v in c)


def make_pngs():
    idx = motif(7)
    rgb = colours_of(idx, COLOURS7)
    save('png-rgb.png', png_file(W, H, 8, 2, [b''.join(bytes(c) for c in r) for r in rgb]))
    expect('png-rgb.png', 24, rgb)

    # Alpha 255, 0, 128 and 64: transparent parts read as white paper.
    alphas = [255, 0, 128, 64]
    rgba = [[(c, alphas[(x + y) % 4]) for x, c in enumerate(r)] for y, r in enumerate(rgb)]
    save('png-rgba.png', png_file(W, H, 8, 6,
                                  [b''.join(bytes(c) + bytes((a,)) for c, a in r)
                                   for r in rgba]))
    expect('png-rgba.png', 24, [[over_white(c, a) for c, a in r] for r in rgba], 1)

    greys = [0, 17, 34, 90, 128, 200, 254, 255]
    idx = motif(len(greys))
    save('png-grey.png', png_file(W, H, 8, 0, [bytes(greys[i] for i in r) for r in idx]))
    expect('png-grey.png', 8, [[(greys[i],) * 3 for i in r] for r in idx])

    greys16 = [0, 0x1234, 0x8080, 0xFFFF, 0x00FF, 0x7F00]
    idx = motif(len(greys16))
    save('png-grey16.png', png_file(W, H, 16, 0,
                                    [b''.join(struct.pack('>H', greys16[i]) for i in r)
                                     for r in idx]))
    expect('png-grey16.png', 8, [[((greys16[i] * 255 + 32767) // 65535,) * 3 for i in r]
                                 for r in idx], 1)

    # 4-bit palette with a tRNS chunk: entry 2 half transparent, entry 3 fully.
    pal = [(255, 0, 0), (0, 0, 255), (20, 120, 40), (0, 0, 0)]
    trns = [255, 255, 128, 0]
    idx = motif(4)
    save('png-palette.png', png_file(W, H, 4, 3, [pack_bits(r, 4) for r in idx],
                                     png_chunk(b'PLTE', b''.join(bytes(c) for c in pal)) +
                                     png_chunk(b'tRNS', bytes(trns))))
    expect('png-palette.png', 8,
           colours_of(idx, [over_white(c, a) for c, a in zip(pal, trns)]))

    idx = motif(2)
    save('png-mono.png', png_file(W, H, 1, 0, [pack_bits(r, 1) for r in idx]))
    expect('png-mono.png', 1, colours_of(idx, [BLACK, WHITE]))


# ---------------------------------------------------------------- GIF

def gif_lzw(indexes, min_code_size=8):
    # Literal codes only, with a clear code often enough that the code width never grows.
    clear, end = 1 << min_code_size, (1 << min_code_size) + 1
    width = min_code_size + 1
    codes = []
    for i, p in enumerate(indexes):
        if i % 200 == 0:
            codes.append(clear)
        codes.append(p)
    codes.append(end)
    acc = nbits = 0
    out = bytearray()
    for c in codes:
        acc |= c << nbits
        nbits += width
        while nbits >= 8:
            out.append(acc & 0xFF)
            acc >>= 8
            nbits -= 8
    if nbits:
        out.append(acc & 0xFF)
    blocks = b''.join(bytes((len(out[i:i + 255]),)) + out[i:i + 255]
                      for i in range(0, len(out), 255))
    return bytes((min_code_size,)) + blocks + b'\0'


def make_gif():
    # Four colours, index 3 transparent.
    pal = [(255, 0, 0), (0, 0, 255), (20, 120, 40), (0, 0, 0)]
    idx = motif(4)
    data = (b'GIF89a' + struct.pack('<HHBBB', W, H, 0x80 | 0x10 | 1, 0, 0) +
        b''.join(bytes(c) for c in pal) +
        bytes((0x21, 0xF9, 4, 1, 0, 0, 3, 0)) +
        b',' + struct.pack('<HHHHB', 0, 0, W, H, 0) +
        gif_lzw([i for r in idx for i in r]) + b';')
    save('gif-palette.gif', data)
    # Qt's GIF decoder hands over 32-bit pixels, not indexes: the picture arrives as 24 bits.
    expect('gif-palette.gif', 24, colours_of(idx, pal[:3] + [WHITE]))


# ---------------------------------------------------------------- JPEG

def huffman_codes(bits, values):
    codes, code, k = {}, 0, 0
    for length in range(1, 17):
        for _ in range(bits[length - 1]):
            codes[values[k]] = (code, length)
            code += 1
            k += 1
        code <<= 1
    return codes


def make_jpeg():
    # A baseline JPEG of four flat 8x8 blocks per component, no subsampling. Flat blocks need
    # only the DC coefficient, so the encoder stays short; quantiser 1 keeps it exact but for
    # the colour conversion's rounding.
    colours = [[(200, 30, 30), (30, 160, 60)], [(40, 60, 200), (230, 220, 40)]]

    def ycc(c):
        r, g, b = c
        y = 0.299 * r + 0.587 * g + 0.114 * b
        cb = -0.168736 * r - 0.331264 * g + 0.5 * b + 128
        cr = 0.5 * r - 0.418688 * g - 0.081312 * b + 128
        return [int(round(v)) for v in (y, cb, cr)]

    dc_bits = [0, 1, 5, 1, 1, 1, 1, 1, 1, 0, 0, 0, 0, 0, 0, 0]
    dc_vals = list(range(12))
    ac_bits = [1] + [0] * 15
    ac_vals = [0]  # end-of-block only
    dc_codes = huffman_codes(dc_bits, dc_vals)
    eob = huffman_codes(ac_bits, ac_vals)[0]

    bits = []

    def put(code, length):
        bits.extend((code >> (length - 1 - i)) & 1 for i in range(length))

    pred = [0, 0, 0]
    for by in range(2):
        for bx in range(2):
            for comp, v in enumerate(ycc(colours[by][bx])):
                dc = 8 * (v - 128)
                diff, pred[comp] = dc - pred[comp], dc
                size = abs(diff).bit_length()
                put(*dc_codes[size])
                if size:
                    put(diff if diff > 0 else diff + (1 << size) - 1, size)
                put(*eob)
    bits.extend([1] * (-len(bits) % 8))
    scan = bytearray()
    for i in range(0, len(bits), 8):
        byte = int(''.join(map(str, bits[i:i + 8])), 2)
        scan.append(byte)
        if byte == 0xFF:
            scan.append(0)

    def segment(marker, payload):
        return bytes((0xFF, marker)) + struct.pack('>H', len(payload) + 2) + payload

    data = (b'\xFF\xD8' +
            segment(0xE0, b'JFIF\0\x01\x01\0\0\x01\0\x01\0\0') +
            segment(0xDB, b'\0' + b'\x01' * 64) +
            segment(0xC0, struct.pack('>BHHB', 8, 16, 16, 3) +
                    b'\x01\x11\x00\x02\x11\x00\x03\x11\x00') +
            segment(0xC4, b'\x00' + bytes(dc_bits) + bytes(dc_vals)) +
            segment(0xC4, b'\x10' + bytes(ac_bits) + bytes(ac_vals)) +
            segment(0xDA, b'\x03\x01\x00\x02\x00\x03\x00\x00\x3F\x00') +
            bytes(scan) + b'\xFF\xD9')
    save('jpeg-blocks.jpg', data)
    rows = [[colours[y // 8][x // 8] for x in range(16)] for y in range(16)]
    expect('jpeg-blocks.jpg', 24, rows, 3)


def main():
    make_bmps()
    make_rles()
    make_pngs()
    make_gif()
    make_jpeg()
    with open(os.path.join(HERE, 'expected.txt'), 'w') as f:
        f.write('# Written by make_fixtures.py: name bpp width height tolerance, then the\n'
                '# colours RRGGBB row by row from the top; "name FAIL" must be refused.\n')
        f.write('\n'.join(expected) + '\n')


if __name__ == '__main__':
    main()
