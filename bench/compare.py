#!/usr/bin/python3
"""Side by side: Korvalin's benchmark medians (CPU time), the NumPy peer's, their ratio,
whether the peer's figures agree with Korvalin's (korvalin-cli show --json), and whether
two runs of the command-line tool print the same bytes."""
import json
import subprocess
import sys

ours_file, peer_file, cli, data = sys.argv[1:5]
ours = {}
for b in json.load(open(ours_file))['benchmarks']:
    if b.get('aggregate_name') == 'median':
        scale = {'ns': 1e-9, 'us': 1e-6, 'ms': 1e-3, 's': 1.0}[b['time_unit']]
        # A manual time is the child process's CPU time; otherwise take the CPU time.
        seconds = b['real_time'] if 'manual_time' in b['run_name'] else b['cpu_time']
        # BM_C1_CliShow/... is case C1; a captured run such as recalculate/R1 is case R1.
        parts = b['run_name'].split('/')
        case = parts[0].removeprefix('BM_') if parts[0].startswith('BM_') else parts[1]
        ours[case] = seconds * scale
peer = json.load(open(peer_file))

def show(seconds):
    return f'{seconds * 1e3:10.3f} ms' if seconds >= 1e-3 else f'{seconds * 1e6:10.1f} us'

print(f'{"case":22} {"Korvalin":>14} {"NumPy peer":>14} {"peer / ours":>12}   figures')
worst = 0.0
for case in ['R1', 'R2', 'R3', 'W1', 'W2', 'W3']:
    path = f'{data}/{case.lower()}.kvk'
    mine = json.loads(subprocess.run([cli, 'show', '--json', path], capture_output=True,
                                     check=True, text=True).stdout)['figures']
    theirs = peer[path]['figures']
    error = max(abs(mine[k] - theirs[k]) for k in mine)
    worst = max(worst, error)
    verdict = 'agree' if error <= 1e-6 else f'DIFFER by {error:.3g}'
    print(f'{case:22} {show(ours[case])} {show(peer[path]["median"])} '
          f'{peer[path]["median"] / ours[case]:11.1f}x   {verdict} (max diff {error:.2g} %)')
for case, seconds in ours.items():
    if case[0] not in 'RW':
        print(f'{case:22} {show(seconds)}')
runs = [subprocess.run([cli, 'show', '--json', f'{data}/{name}.kvk'], capture_output=True,
                       check=True).stdout for name in ['r3', 'r3', 'w3', 'w3']]
same = runs[0] == runs[1] and runs[2] == runs[3]
print('show --json, two runs each of r3 and w3:', 'byte-identical' if same else 'DIFFERENT')
sys.exit(0 if worst <= 1e-6 and same else 1)
