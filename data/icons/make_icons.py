# Draws Korvalin's desktop icon as korvalin.svg and renders it as korvalin-64/128/256.png.
# The drawing is that of the window icons (src/res/images): a navy rounded square with a
# cyan wave, the fundamental with its 3rd and 5th harmonics. Run: python3 make_icons.py DIR
import math, struct, sys, zlib

NAVY, CYAN = (18, 40, 72), (80, 220, 255)
UNIT = 256.0  # the SVG's own size; everything below is in these units
RADIUS = 0.18 * UNIT
STROKE = UNIT / 14
MARGIN = 0.2


def wave(t):
    return math.sin(t) + math.sin(3 * t) / 3 + math.sin(5 * t) / 5


def curve(points=129):
    peak = max(abs(wave(2 * math.pi * i / 1000)) for i in range(1000))
    amp = UNIT * (1 - 2 * MARGIN) / 2 / peak
    # It runs past both edges so the rounded square alone cuts it off.
    return [(x, UNIT / 2 - amp * wave(2 * math.pi * x / UNIT))
            for x in (-STROKE + (UNIT + 2 * STROKE) * i / (points - 1) for i in range(points))]


def svg(path):
    hexcol = lambda c: '#%02x%02x%02x' % c
    pts = ' '.join('%.2f,%.2f' % p for p in curve())
    open(path, 'w').write(
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{UNIT:g}" height="{UNIT:g}" '
        f'viewBox="0 0 {UNIT:g} {UNIT:g}">\n'
        f'  <clipPath id="face"><rect width="{UNIT:g}" height="{UNIT:g}" rx="{RADIUS:g}"/></clipPath>\n'
        f'  <rect width="{UNIT:g}" height="{UNIT:g}" rx="{RADIUS:g}" fill="{hexcol(NAVY)}"/>\n'
        f'  <polyline clip-path="url(#face)" fill="none" stroke="{hexcol(CYAN)}" '
        f'stroke-width="{STROKE:.2f}" stroke-linejoin="round" stroke-linecap="round" '
        f'points="{pts}"/>\n</svg>\n')


def segment_distance(px, py, a, b):
    (ax, ay), (bx, by) = a, b
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - ax - t * dx, py - ay - t * dy)


def png(path, size, ss=3):
    pts = curve()
    scale = UNIT / (size * ss)
    rows = []
    for y in range(size):
        row = bytearray(b'\x00')
        for x in range(size):
            acc = [0.0, 0.0, 0.0]
            covered = 0
            for sy in range(ss):
                for sx in range(ss):
                    ux, uy = (x * ss + sx + 0.5) * scale, (y * ss + sy + 0.5) * scale
                    cx = min(max(ux, RADIUS), UNIT - RADIUS)
                    cy = min(max(uy, RADIUS), UNIT - RADIUS)
                    if math.hypot(ux - cx, uy - cy) > RADIUS:
                        continue
                    covered += 1
                    near = [i for i in range(len(pts) - 1)
                            if min(pts[i][0], pts[i + 1][0]) - STROKE <= ux
                            <= max(pts[i][0], pts[i + 1][0]) + STROKE]
                    on = any(segment_distance(ux, uy, pts[i], pts[i + 1]) <= STROKE / 2
                             for i in near)
                    col = CYAN if on else NAVY
                    for k in range(3):
                        acc[k] += col[k]
            if covered == 0:
                row += bytes(4)
            else:
                row += bytes(round(a / covered) for a in acc) + bytes(
                    [round(255 * covered / (ss * ss))])
        rows.append(bytes(row))

    def chunk(kind, data):
        return (struct.pack('>I', len(data)) + kind + data +
                struct.pack('>I', zlib.crc32(kind + data) & 0xffffffff))
    open(path, 'wb').write(
        b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', size, size, 8, 6, 0, 0, 0)) +
        chunk(b'IDAT', zlib.compress(b''.join(rows), 9)) + chunk(b'IEND', b''))


out = sys.argv[1]
svg(f'{out}/korvalin.svg')
for s in (64, 128, 256):
    png(f'{out}/korvalin-{s}.png', s)
