# Renders Korvalin's icon (16, 32, 48 px) and splash bitmap (585 x 135) as PNGs.
import math, struct, zlib, sys

def png(path, w, h, pixels):
    raw = b''.join(b'\x00' + bytes(row) for row in pixels)
    def chunk(t, d):
        c = struct.pack('>I', len(d)) + t + d
        return c + struct.pack('>I', zlib.crc32(t + d) & 0xffffffff)
    data = b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', struct.pack('>IIBBBBB', w, h, 8, 6, 0, 0, 0))
    data += chunk(b'IDAT', zlib.compress(raw, 9)) + chunk(b'IEND', b'')
    open(path, 'wb').write(data)

def wave(t):
    # a square-ish wave: fundamental with 3rd and 5th harmonics
    return math.sin(t) + math.sin(3 * t) / 3 + math.sin(5 * t) / 5

def render(w, h, cycles, bg, fg, thickness, grid=None, margin=0.12, rounded=True, ss=4):
    W, H = w * ss, h * ss
    peak = max(abs(wave(2 * math.pi * i / 1000)) for i in range(1000))
    amp = (H * (1 - 2 * margin)) / 2 / peak
    cy = H / 2
    # sample the curve densely as polyline points
    pts = [(x, cy - amp * wave(2 * math.pi * cycles * x / W)) for x in range(-2, W + 3)]
    acc = [[[0.0, 0.0, 0.0, 0.0] for _ in range(w)] for _ in range(h)]
    rad = thickness * ss / 2
    radius = min(w, h) * 0.18 * ss
    for Y in range(H):
        for X in range(W):
            # background (rounded square for icons)
            inside = True
            if rounded:
                dx = max(radius - X, 0, X - (W - 1 - radius))
                dy = max(radius - Y, 0, Y - (H - 1 - radius))
                inside = dx * dx + dy * dy <= radius * radius
            if not inside:
                continue
            col = bg
            if grid is not None:
                gx = W / (cycles * 4)
                if abs((X % gx)) < ss * 0.6 or abs(Y - cy) < ss * 0.6:
                    col = grid
            # distance to curve near X
            d = min(math.hypot(X - px, Y - py) for px, py in pts[max(0, X - int(rad) - 3 + 2): X + int(rad) + 6])
            if d <= rad:
                col = fg
            a = acc[Y // ss][X // ss]
            a[0] += col[0]; a[1] += col[1]; a[2] += col[2]; a[3] += 255
    n = ss * ss
    rows = []
    for y in range(h):
        row = []
        for x in range(w):
            a = acc[y][x]
            cov = a[3] / 255
            if cov == 0:
                row += [0, 0, 0, 0]
            else:
                row += [int(a[0] / cov), int(a[1] / cov), int(a[2] / cov), int(255 * cov / n)]
        rows.append(row)
    return rows

out = sys.argv[1]
navy, cyan, grid = (18, 40, 72), (80, 220, 255), (40, 70, 110)
for s in (16, 32, 48):
    png(f'{out}/korvalin-{s}.png', s, s, render(s, s, 1, navy, cyan, max(1.6, s / 14), None, 0.2))
png(f'{out}/splash.png', 585, 135, render(585, 135, 3, navy, cyan, 3.2, grid, 0.14, False, 2))
