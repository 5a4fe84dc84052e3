#!/usr/bin/env python3
"""Generate lattix/src/CodewordTable.cpp: the PDF417 bar-space patterns of
clusters 0, 3 and 6 for codewords 0..928 (the ISO/IEC 15438 codeword
table).

No formula yields that table, so it is read back from symbols drawn by the
`zint` command-line program: we feed it byte-compacted inputs whose codewords
we can predict entirely (length descriptor, 924 latch, our own base-900
groups, pads, Reed-Solomon check codewords, row indicators), then cut every
row of its hex dump into 17-module slices and pair each slice with the
codeword we predicted for that place. Every entry must be seen at least
--min-seen times and never disagree; any surprise stops the script.

Usage: tools/make_codeword_table.py [--seed N] [--min-seen N] [--out FILE]
Standard library only.
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile

PRIME = 929
MODULES = 17
START_PATTERN = "11111111010101000"  # 8 1 1 1 1 1 1 3
STOP_PATTERN = "111111101000101001"  # 7 1 1 3 1 1 1 2 1
CLUSTER_NUMBERS = (0, 3, 6)
# Codeword 0 in each cluster, as printed in ISO/IEC 15438.
KNOWN_WIDTHS = {(0, 0): (3, 1, 1, 1, 1, 1, 3, 6), (1, 0): (5, 1, 1, 1, 1, 1, 2, 5), (2, 0): (2, 1, 1, 1, 1, 1, 5, 5)}
TEXT_BYTES = set(range(0x20, 0x7F)) | {0x09, 0x0A, 0x0D}
# A first digit in 215..428 makes the 48-bit group start with a byte >= 0x80.
FIRST_DIGIT_RANGE = (215, 428)


class GenerationError(Exception):
    pass


def fail(message):
    raise GenerationError(message)


# --- Reed-Solomon over GF(929) as ISO/IEC 15438 specifies --------------------

_generators = {}


def generator_coefficients(k):
    """Coefficients a[0..k-1] of prod_{i=1..k} (x - 3^i), a[j] for x^j (leading 1 dropped)."""
    if k not in _generators:
        poly = [1]  # poly[j] is the coefficient of x^j
        root = 1
        for _ in range(k):
            root = root * 3 % PRIME
            nxt = [0] * (len(poly) + 1)
            for j, c in enumerate(poly):
                nxt[j + 1] = (nxt[j + 1] + c) % PRIME
                nxt[j] = (nxt[j] - c * root) % PRIME
            poly = nxt
        _generators[k] = poly[:k]
    return _generators[k]


def check_codewords(data, k):
    a = generator_coefficients(k)
    c = [0] * k
    for d in data:
        t1 = (d + c[k - 1]) % PRIME
        for j in range(k - 1, 0, -1):
            c[j] = (c[j - 1] + PRIME - t1 * a[j] % PRIME) % PRIME
        c[0] = (PRIME - t1 * a[0] % PRIME) % PRIME
    return [(PRIME - x) % PRIME for x in reversed(c)]


def self_check_reed_solomon():
    # The check codewords make every root of the generator a root of the whole codeword polynomial.
    rng = random.Random(1)
    for k in (2, 8, 64, 512):
        data = [rng.randrange(PRIME) for _ in range(20)]
        word = data + check_codewords(data, k)
        for i in (1, 2, k):
            x = pow(3, i, PRIME)
            value = 0
            for cw in word:
                value = (value * x + cw) % PRIME
            if value != 0:
                fail(f"Reed-Solomon self-check failed for k={k} at root 3^{i}")


# --- Symbol prediction -------------------------------------------------------


def group_bytes(digits):
    value = 0
    for d in digits:
        value = value * 900 + d
    if value >= 1 << 48:
        fail(f"group {digits} does not fit 48 bits")
    return value.to_bytes(6, "big")


def acceptable_group(digits):
    if not FIRST_DIGIT_RANGE[0] <= digits[0] <= FIRST_DIGIT_RANGE[1]:
        return False
    raw = group_bytes(digits)
    if raw[0] < 0x80:
        return False
    run = 0
    for b in raw:
        run = run + 1 if b in TEXT_BYTES else 0
        if run >= 3:
            return False
    return True


def row_indicators(row, rows, cols, level):
    g = 30 * (row // 3)
    a = g + (rows - 1) // 3
    b = g + 3 * level + (rows - 1) % 3
    c = g + cols - 1
    return [(a, c), (b, a), (c, b)][row % 3]


def predict_symbol(groups, cols, level):
    """Rows and the per-row codeword lists (left indicator, data, right indicator)."""
    k = 2 ** (level + 1)
    data = [0, 924] + [d for group in groups for d in group]
    total = len(data) + k
    rows = max(3, -(-total // cols))
    if rows > 90 or rows * cols > 928:
        fail(f"symbol of {rows}x{cols} is out of range")
    data += [900] * (rows * cols - k - len(data))
    data[0] = len(data)
    word = data + check_codewords(data, k)
    symbol = []
    for r in range(rows):
        left, right = row_indicators(r, rows, cols, level)
        symbol.append([left] + word[r * cols : (r + 1) * cols] + [right])
    return rows, symbol


# --- zint --------------------------------------------------------------------


def run_zint(zint, payload, cols, level, workdir):
    path = os.path.join(workdir, "input.bin")
    with open(path, "wb") as f:
        f.write(payload)
    cmd = [zint, "-b", "55", "--binary", "--dump", f"--cols={cols}", f"--secure={level}", f"--input={path}"]
    result = subprocess.run(cmd, capture_output=True)
    if result.returncode != 0 or result.stderr.strip():
        fail(f"zint failed or warned ({result.returncode}): {result.stderr.decode(errors='replace').strip()}")
    return result.stdout.decode("ascii").split("\n")


def dump_row_modules(line, width):
    nibbles = line.replace(" ", "").strip()
    if len(nibbles) != -(-width // 4):
        fail(f"dump row of {len(nibbles)} nibbles, expected a width of {width} modules")
    bits = "".join(format(int(n, 16), "04b") for n in nibbles)
    if "1" in bits[width:]:
        fail("dump row has set bits after the symbol's width")
    return bits[:width]


def widths_of(bits):
    widths = []
    for i, bit in enumerate(bits):
        if i > 0 and bit == bits[i - 1]:
            widths[-1] += 1
        else:
            widths.append(1)
    return tuple(widths)


# --- Collection --------------------------------------------------------------


class Collector:
    def __init__(self, zint, rng, workdir):
        self.zint = zint
        self.rng = rng
        self.workdir = workdir
        self.patterns = [dict() for _ in CLUSTER_NUMBERS]
        self.seen = [[0] * PRIME for _ in CLUSTER_NUMBERS]
        self.symbols = 0
        self.observations = 0

    def least_seen(self, cluster, low, high):
        counts = self.seen[cluster]
        floor = min(counts[low : high + 1])
        choices = [v for v in range(low, high + 1) if counts[v] == floor]
        return self.rng.choice(choices)

    def make_groups(self, count, cols):
        """Groups whose digits favour the entries seen least in the cluster of the row they land in."""
        groups = []
        for g in range(count):
            position = 2 + 5 * g
            for attempt in range(200):
                digits = []
                for j in range(5):
                    cluster = ((position + j) // cols) % 3
                    if j == 0:
                        low, high = FIRST_DIGIT_RANGE
                    else:
                        low, high = 0, 899
                    if attempt < 100:
                        digits.append(self.least_seen(cluster, low, high))
                    else:
                        digits.append(self.rng.randint(low, high))
                if acceptable_group(digits):
                    break
            else:
                fail("could not draw an acceptable group")
            groups.append(digits)
        return groups

    def one_symbol(self):
        rng = self.rng
        level = rng.choice((5, 6, 7, 8, 8, 8))
        k = 2 ** (level + 1)
        while True:
            cols = rng.randint(1, 30)
            room = min(928, 90 * cols) - k - 2
            if room >= 5:
                break
        count = rng.randint(1, room // 5)
        # Whole rows must still fit in 928 codewords.
        while max(3, -(-(2 + 5 * count + k) // cols)) * cols > 928:
            count -= 1
        if count < 1:
            return
        groups = self.make_groups(count, cols)
        payload = b"".join(group_bytes(g) for g in groups)
        rows, symbol = predict_symbol(groups, cols, level)
        lines = [line for line in run_zint(self.zint, payload, cols, level, self.workdir) if line.strip()]
        if len(lines) != rows:
            fail(f"zint drew {len(lines)} rows, predicted {rows} (cols={cols}, level={level})")
        width = MODULES * cols + 69
        for r, line in enumerate(lines):
            bits = dump_row_modules(line, width)
            if bits[:MODULES] != START_PATTERN:
                fail(f"row {r}: start pattern not found")
            if bits[-18:] != STOP_PATTERN:
                fail(f"row {r}: stop pattern not found")
            cluster = r % 3
            for slot, codeword in enumerate(symbol[r]):
                piece = bits[MODULES * (slot + 1) : MODULES * (slot + 2)]
                self.record(cluster, codeword, int(piece, 2), r, slot)
        self.symbols += 1

    def record(self, cluster, codeword, pattern, row, slot):
        known = self.patterns[cluster].get(codeword)
        if known is not None and known != pattern:
            fail(
                f"cluster {CLUSTER_NUMBERS[cluster]} codeword {codeword}: {pattern:017b} "
                f"contradicts {known:017b} (symbol {self.symbols}, row {row}, slot {slot})"
            )
        self.patterns[cluster][codeword] = pattern
        self.seen[cluster][codeword] += 1
        self.observations += 1

    def done(self, min_seen):
        return all(min(counts) >= min_seen for counts in self.seen)


# --- Verification and output -------------------------------------------------


def verify_table(patterns):
    for cluster, table in enumerate(patterns):
        if len(table) != PRIME:
            fail(f"cluster {CLUSTER_NUMBERS[cluster]} has {len(table)} entries")
        if len(set(table.values())) != PRIME:
            fail(f"cluster {CLUSTER_NUMBERS[cluster]} has repeated patterns")
        for codeword, pattern in table.items():
            w = widths_of(format(pattern, "017b"))
            if len(w) != 8 or pattern >> 16 != 1 or max(w) > 6:
                fail(f"cluster {CLUSTER_NUMBERS[cluster]} codeword {codeword}: bad pattern {w}")
            if (w[0] - w[2] + w[4] - w[6] + 9) % 9 != CLUSTER_NUMBERS[cluster]:
                fail(f"cluster {CLUSTER_NUMBERS[cluster]} codeword {codeword}: wrong cluster number {w}")
    for (cluster, codeword), expected in KNOWN_WIDTHS.items():
        got = widths_of(format(patterns[cluster][codeword], "017b"))
        if got != expected:
            fail(f"cluster {CLUSTER_NUMBERS[cluster]} codeword {codeword}: {got}, expected {expected}")


def zint_version(zint):
    result = subprocess.run([zint, "--version"], capture_output=True)
    return result.stdout.decode(errors="replace").strip() or "zint"


def render_source(patterns, symbols, min_count, version):
    out = [
        "// Generated by tools/make_codeword_table.py; do not edit by hand.",
        "// The ISO/IEC 15438 codeword table: bar-space patterns of clusters 0, 3 and 6 for codewords 0..928,",
        "// 17 modules each, bit 16 the leftmost module, 1 a bar.",
        f"// Read back from {symbols} symbols drawn by {version}; every entry was seen at least {min_count} times.",
        '#include "CodewordTable.h"',
        "",
        "namespace lattix {",
        "",
        "const std::uint32_t kCodewordPatterns[3][929] = {",
    ]
    per_line = 12
    for cluster, table in enumerate(patterns):
        out.append(f"    // Cluster {CLUSTER_NUMBERS[cluster]}")
        out.append("    {")
        values = [f"0x{table[cw]:05x}" for cw in range(PRIME)]
        for i in range(0, PRIME, per_line):
            out.append("        " + ", ".join(values[i : i + per_line]) + ",")
        out.append("    },")
    out += ["};", "", "} // namespace lattix", ""]
    return "\n".join(out)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seed", type=int, default=15438)
    parser.add_argument("--min-seen", type=int, default=2)
    parser.add_argument("--max-symbols", type=int, default=5000)
    parser.add_argument("--zint", default=shutil.which("zint") or "zint")
    parser.add_argument("--out", default=os.path.join(here, "..", "lattix", "src", "CodewordTable.cpp"))
    args = parser.parse_args()

    try:
        self_check_reed_solomon()
        with tempfile.TemporaryDirectory() as workdir:
            collector = Collector(args.zint, random.Random(args.seed), workdir)
            while not collector.done(args.min_seen):
                if collector.symbols >= args.max_symbols:
                    missing = sum(c < args.min_seen for counts in collector.seen for c in counts)
                    fail(f"{missing} entries still seen fewer than {args.min_seen} times")
                collector.one_symbol()
        verify_table(collector.patterns)
    except GenerationError as error:
        print(f"make_codeword_table: {error}", file=sys.stderr)
        return 1

    min_count = min(min(counts) for counts in collector.seen)
    with open(args.out, "w", encoding="ascii", newline="\n") as f:
        f.write(render_source(collector.patterns, collector.symbols, min_count, zint_version(args.zint)))
    print(
        f"{collector.symbols} symbols, {collector.observations} observations; "
        f"per entry min {min_count}, max {max(max(c) for c in collector.seen)}; wrote {os.path.normpath(args.out)}"
    )
    return 0


if __name__ == "__main__":
    sys.exit(main())
