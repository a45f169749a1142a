#!/usr/bin/env python3
"""Writes LZX and Quantum cabinets for the cabinet tests.

No encoder searches for matches here: a random "plan" of literals and
matches (distances up to the whole window, repeated offsets, long lengths)
is turned into both the compressed stream and the bytes it stands for. The
cabinets are then read by the reference extractors (cabextract, 7z) as the
judges of whether the streams are right, and by our own reader.

    cabgen.py lzx WINDOW_BITS OUT.cab SEED [--size N] [--e8 [--calls]] [--blocks v,a,s]
                                           [--max-dist D]
    cabgen.py quantum WINDOW_BITS OUT.cab SEED [--size N] [--overshoot N]

prints the SHA-256 and size of the file the cabinet holds ("payload.bin").
"""
import argparse
import hashlib
import heapq
import random
import struct
import sys

FRAME = 32768


# ---------------------------------------------------------------- container

def checksum(data, seed=0):
    n4 = len(data) // 4 * 4
    for (w,) in struct.iter_unpack('<I', data[:n4]):
        seed ^= w
    return seed ^ int.from_bytes(data[n4:], 'big')  # the last 1-3 bytes, first one highest


def write_cab(path, type_compress, blocks, files):
    """blocks: list of (compressed bytes, uncompressed size);
    files: list of (name, size) laid end to end in the one folder."""
    names, off = b'', 0
    for name, size in files:
        names += struct.pack('<IIHHHH', size, off, 0, 0x5A21, 0x6C22, 0x20) + name.encode() + b'\0'
        off += size
    data = b''.join(struct.pack('<IHH', checksum(struct.pack('<HH', len(comp), usize), checksum(comp)), len(comp),
                                usize) + comp for comp, usize in blocks)
    files_at = 36 + 8  # after the header and the one folder
    data_at = files_at + len(names)
    with open(path, 'wb') as f:
        f.write(b'MSCF' + struct.pack('<IIIIIBBHHHHHIHH', 0, data_at + len(data), 0, files_at, 0, 3, 1, 1, len(files),
                                      0, 0, 0, data_at, len(blocks), type_compress) + names + data)


# ---------------------------------------------------------------- Huffman

def code_lengths(freqs, limit):
    """Huffman code lengths of at most `limit` bits; every symbol of nonzero
    frequency gets a code, and the code is complete (at least two symbols)."""
    freqs = list(freqs)
    used = [i for i, f in enumerate(freqs) if f > 0]
    if not used:
        return [0] * len(freqs)
    if len(used) == 1:
        other = 0 if used[0] != 0 else 1
        freqs[other] = 1
    while True:
        heap = [(f, i, (i,)) for i, f in enumerate(freqs) if f > 0]
        heapq.heapify(heap)
        lens = [0] * len(freqs)
        tie = len(freqs)
        while len(heap) > 1:
            f1, _, s1 = heapq.heappop(heap)
            f2, _, s2 = heapq.heappop(heap)
            for s in s1 + s2:
                lens[s] += 1
            heapq.heappush(heap, (f1 + f2, tie, s1 + s2))
            tie += 1
        if max(lens) <= limit:
            return lens
        freqs = [(f + 1) // 2 if f > 0 else 0 for f in freqs]


def canonical_codes(lens):
    codes = [0] * len(lens)
    code = 0
    for length in range(1, 17):
        for s, l in enumerate(lens):
            if l == length:
                codes[s] = code
                code += 1
        code <<= 1
    return codes


# ---------------------------------------------------------------- LZX

class LzxBits:
    """16-bit little-endian words, most significant bit first."""

    def __init__(self):
        self.out = bytearray()
        self.word = 0
        self.used = 0

    def put(self, value, n):
        for i in range(n - 1, -1, -1):
            self.word = (self.word << 1) | ((value >> i) & 1)
            self.used += 1
            if self.used == 16:
                self.out += struct.pack('<H', self.word)
                self.word = 0
                self.used = 0

    def pad(self, always=False):  # to the next word; a stored block's header always pads
        if self.used or always:
            self.put(0, 16 - self.used)

    def raw(self, b):
        assert self.used == 0
        self.out += b


def lzx_slots(bits):
    return {15: 30, 16: 32, 17: 34, 18: 36, 19: 38, 20: 42, 21: 50}[bits]


EXTRA = [0, 0, 0, 0] + [min((i - 2) // 2, 17) for i in range(4, 50)]
BASE = [0] * 51
for _i in range(50):
    BASE[_i + 1] = BASE[_i] + (1 << EXTRA[_i])


def slot_of(formatted):
    for s in range(50):
        if BASE[s] <= formatted < BASE[s + 1]:
            return s
    raise ValueError(formatted)


def make_plan(rng, size, max_dist, min_len, max_len, frame_cap, calls=False):
    """Literals and matches making `size` bytes; returns (plan, data).
    A plan item is an int (literal) or (length, distance). With calls, the
    literals are mostly E8 bytes and the bytes that make call targets in the
    translated range, so that calls sit at every offset."""
    data = bytearray()
    plan = []
    recent = [1, 1, 1]
    alphabet = b'\xe8\xe8\x00\x01\xff\xb7' if calls else bytes(rng.sample(range(256), 40)) + b'\xe8' * 3
    while len(data) < size:
        pos = len(data)
        room = size - pos
        if frame_cap:
            room = min(room, FRAME - pos % FRAME)
        r = rng.random()
        if pos < 8 or r < 0.35 or room < min_len:
            b = rng.choice(alphabet)
            plan.append(b)
            data.append(b)
            continue
        if r < 0.5:
            dist = rng.choice(recent)
        elif r < 0.7:
            dist = rng.randint(1, min(pos, 64))
        else:
            # far back, often close to the largest distance the window allows
            hi = min(pos, max_dist)
            dist = hi if rng.random() < 0.2 else rng.randint(1, hi)
        dist = max(1, min(dist, pos, max_dist))
        length = rng.choice([min_len, min_len + 1, rng.randint(min_len, 40), rng.randint(min_len, max_len)])
        length = min(length, room, max_len)
        if length < min_len:
            continue
        for _ in range(length):
            data.append(data[-dist])
        plan.append((length, dist))
        if dist in recent:
            recent.remove(dist)
        else:
            recent.pop()
        recent.insert(0, dist)
    return plan, bytes(data)


def undo_e8(window_data, size):
    """What the decoder outputs for window bytes: per 32 KB frame, E8
    operands that hold absolute targets become relative again."""
    out = bytearray(window_data)
    for start in range(0, len(out), FRAME):
        n = min(FRAME, len(out) - start)
        if n <= 10 or start // FRAME >= 32768:
            continue
        i = 0
        while i < n - 10:
            if out[start + i] != 0xE8:
                i += 1
                continue
            cur = start + i
            (a,) = struct.unpack_from('<i', out, start + i + 1)
            if -cur <= a < size:
                rel = a - cur if a >= 0 else a + size
                struct.pack_into('<i', out, start + i + 1, rel)
            i += 5
    return bytes(out)


def lzx_encode(bits, plan, data, e8_size, block_kinds, rng):
    """Returns the list of (compressed frame, frame size)."""
    frames = []
    w = LzxBits()
    nslots = lzx_slots(bits)
    nmain = 256 + nslots * 8
    prev_main = [0] * nmain
    prev_len = [0] * 249
    r = [1, 1, 1]
    pos = 0
    w.put(1 if e8_size else 0, 1)
    if e8_size:
        w.put(e8_size >> 16, 16)
        w.put(e8_size & 0xFFFF, 16)

    def frame_done():
        # (Plans never let a match run past a frame's end: the reference
        # readers refuse such streams.)
        return pos >= (len(frames) + 1) * FRAME or pos == len(data)

    def cut_frame_if_due():
        nonlocal w
        if frame_done():
            w.pad()
            frames.append((bytes(w.out), min(FRAME, len(data) - len(frames) * FRAME)))
            w = LzxBits()

    # Cut the plan into blocks of random size.
    items = list(plan)
    k = 0
    kind_index = 0
    while k < len(items):
        kind = block_kinds[kind_index % len(block_kinds)]
        kind_index += 1
        nitems = rng.randint(1, 6000)
        block = items[k:k + nitems]
        k += nitems
        bsize = sum(1 if isinstance(t, int) else t[0] for t in block)
        if kind == 's':
            w.put(3, 3)
            w.put(bsize >> 8, 16)
            w.put(bsize & 0xFF, 8)
            w.pad(True)
            # A stored block ends the repeated-offset history the plan used;
            # keep it by sending the current values.
            w.raw(struct.pack('<III', *r))
            raw = data[pos:pos + bsize]
            i = 0
            while i < bsize:
                n = min(bsize - i, FRAME - pos % FRAME)
                w.raw(raw[i:i + n])
                i += n
                pos += n
                if pos % FRAME == 0 or pos == len(data):
                    if i == bsize and bsize % 2 == 1:
                        w.raw(b'\0')
                    cut_frame_if_due()
            if bsize % 2 == 1 and pos % FRAME != 0 and pos != len(data):
                w.raw(b'\0')
            # Matches of the plan are relative to what the plan assumed;
            # the recent offsets are unchanged by a stored block.
            continue

        aligned = kind == 'a'
        # Symbols first, to count frequencies.
        syms = []
        rr = list(r)
        for t in block:
            if isinstance(t, int):
                syms.append((t, None, None, None))
                continue
            length, dist = t
            if dist == rr[0]:
                slot = 0
            elif dist == rr[1]:
                slot = 1
                rr[0], rr[1] = rr[1], rr[0]
            elif dist == rr[2]:
                slot = 2
                rr[0], rr[2] = rr[2], rr[0]
            else:
                formatted = dist + 2
                slot = slot_of(formatted)
                rr = [dist, rr[0], rr[1]]
            lh = min(length - 2, 7)
            syms.append((256 + slot * 8 + lh, length - 9 if lh == 7 else None, slot,
                         dist + 2 - BASE[slot] if slot >= 3 else None))
        fmain = [0] * nmain
        flen = [0] * 249
        falign = [1] * 8
        for m, l, slot, extra in syms:
            fmain[m] += 1
            if l is not None:
                flen[l] += 1
            if aligned and slot is not None and slot >= 3 and EXTRA[slot] >= 3:
                falign[extra & 7] += 1
        main_lens = code_lengths(fmain, 16)
        len_lens = code_lengths(flen, 16)
        align_lens = code_lengths(falign, 7)
        w.put(2 if aligned else 1, 3)
        w.put(bsize >> 8, 16)
        w.put(bsize & 0xFF, 8)
        if aligned:
            for l in align_lens:
                w.put(l, 3)
        write_lengths(w, prev_main, main_lens, 0, 256, rng)
        write_lengths(w, prev_main, main_lens, 256, nmain, rng)
        write_lengths(w, prev_len, len_lens, 0, 249, rng)
        prev_main, prev_len = main_lens, len_lens
        mc, lc, ac = map(canonical_codes, (main_lens, len_lens, align_lens))
        for (m, l, slot, extra), t in zip(syms, block):
            w.put(mc[m], main_lens[m])
            if l is not None:
                w.put(lc[l], len_lens[l])
            if slot is not None and slot >= 3:
                e = EXTRA[slot]
                if aligned and e >= 3:
                    w.put(extra >> 3, e - 3)
                    w.put(ac[extra & 7], align_lens[extra & 7])
                elif e:
                    w.put(extra, e)
            pos += 1 if isinstance(t, int) else t[0]
            cut_frame_if_due()
        r = rr
    return frames


def write_lengths(w, prev, new, first, last, rng):
    """Code lengths new[first:last] as pretree-coded deltas against prev."""
    out = []  # (pretree symbol, extra value, extra bits)
    i = first
    while i < last:
        run = 1
        while i + run < last and new[i + run] == new[i]:
            run += 1
        if new[i] == 0 and run >= 20:
            n = min(run, 51)
            out.append((18, n - 20, 5))
            i += n
        elif new[i] == 0 and run >= 4:
            n = min(run, 19)
            out.append((17, n - 4, 4))
            i += n
        elif run >= 4 and rng.random() < 0.7:
            n = min(run, 5)
            out.append((19, n - 4, 1))
            out.append(((prev[i] - new[i]) % 17, 0, 0))
            i += n
        else:
            out.append(((prev[i] - new[i]) % 17, 0, 0))
            i += 1
    freq = [0] * 20
    for s, _, _ in out:
        freq[s] += 1
    plens = code_lengths(freq, 15)
    pcodes = canonical_codes(plens)
    for l in plens:
        w.put(l, 4)
    for s, v, nb in out:
        w.put(pcodes[s], plens[s])
        w.put(v, nb)


# ---------------------------------------------------------------- Quantum

QBASE = [0] * 43
QEXTRA = [0, 0, 0, 0] + [(i - 2) // 2 for i in range(4, 42)]
for _i in range(42):
    QBASE[_i + 1] = QBASE[_i] + (1 << QEXTRA[_i])
LBASE = [0, 1, 2, 3, 4, 5, 6, 8, 10, 12, 14, 18, 22, 26, 30, 38, 46, 54, 62, 78, 94, 110, 126, 158, 190, 222, 254]
LEXTRA = [0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0]


class QModel:
    def __init__(self, first, n):
        self.n = n
        self.sym = [first + i for i in range(n + 1)]
        self.cum = [n - i for i in range(n + 1)]
        self.left = 4

    def index(self, s):
        return self.sym.index(s, 0, self.n)

    def update(self, i):
        for k in range(i + 1):
            self.cum[k] += 8
        if self.cum[0] > 3800:
            self.left -= 1
            if self.left:
                for k in range(self.n - 1, -1, -1):
                    self.cum[k] >>= 1
                    if self.cum[k] <= self.cum[k + 1]:
                        self.cum[k] = self.cum[k + 1] + 1
            else:
                self.left = 50
                for k in range(self.n):
                    self.cum[k] = (self.cum[k] - self.cum[k + 1] + 1) >> 1
                for a in range(self.n - 1):
                    for b in range(a + 1, self.n):
                        if self.cum[a] < self.cum[b]:
                            self.cum[a], self.cum[b] = self.cum[b], self.cum[a]
                            self.sym[a], self.sym[b] = self.sym[b], self.sym[a]
                for k in range(self.n - 1, -1, -1):
                    self.cum[k] += self.cum[k + 1]


class QEncoder:
    """The 16-bit arithmetic coder, and raw bits placed where the decoder,
    which holds 16 code bits ahead, will read them."""

    def __init__(self):
        self.L, self.H = 0, 0xFFFF
        self.pending = 0
        self.code = []     # code bits
        self.shifts = 0
        self.raws = []     # (code bit index before which they go, bits)

    def emit(self, b):
        self.code.append(b)
        for _ in range(self.pending):
            self.code.append(1 - b)
        self.pending = 0

    def encode(self, m, s):
        i = m.index(s)
        rng_ = self.H - self.L + 1
        total = m.cum[0]
        self.H = self.L + (m.cum[i] * rng_) // total - 1
        self.L = self.L + (m.cum[i + 1] * rng_) // total
        m.update(i)
        while True:
            if (self.L & 0x8000) == (self.H & 0x8000):
                self.emit(self.H >> 15)
            elif (self.L & 0x4000) and not (self.H & 0x4000):
                self.pending += 1
                self.L &= 0x3FFF
                self.H |= 0x4000
            else:
                break
            self.L = (self.L << 1) & 0xFFFF
            self.H = ((self.H << 1) | 1) & 0xFFFF
            self.shifts += 1

    def raw(self, value, n):
        if n:
            self.raws.append((16 + self.shifts, [(value >> (n - 1 - k)) & 1 for k in range(n)]))

    def finish(self, last):
        self.pending += 1
        self.emit((self.L >> 14) & 1)
        # The decoder holds 16 code bits ahead: it reads 16 + shifts of them.
        # Two more bits, as the original coder leaves them: some readers
        # check that a frame's data ends where the coder's reading ends.
        need = 16 + self.shifts + 2
        while len(self.code) < need:
            self.code.append(0)
        bits = []
        j = 0
        for at, rb in self.raws:
            bits += self.code[j:at]
            j = at
            bits += rb
        bits += self.code[j:]
        bits += [0] * (-len(bits) % 8)
        # No trailer byte: readers add their own 0xFF after each block to
        # find the end of a frame.
        return int(''.join(map(str, bits)), 2).to_bytes(len(bits) // 8, 'big')


def quantum_encode(bits, plan, data):
    sel = QModel(0, 7)
    lit = [QModel(64 * k, 64) for k in range(4)]
    p3 = QModel(0, min(bits * 2, 24))
    p4 = QModel(0, min(bits * 2, 36))
    p5 = QModel(0, bits * 2)
    l5 = QModel(0, 27)
    frames = []
    enc = QEncoder()
    pos = 0
    start = 0
    for t in plan:
        if isinstance(t, int):
            enc.encode(sel, t >> 6)
            enc.encode(lit[t >> 6], t)
            pos += 1
        else:
            length, dist = t
            d = dist - 1
            slot = max(s for s in range(42) if QBASE[s] <= d)
            if length == 3:
                enc.encode(sel, 4)
                enc.encode(p3, slot)
            elif length == 4:
                enc.encode(sel, 5)
                enc.encode(p4, slot)
            else:
                enc.encode(sel, 6)
                ls = max(s for s in range(27) if LBASE[s] <= length - 5)
                enc.encode(l5, ls)
                enc.raw(length - 5 - LBASE[ls], LEXTRA[ls])
                enc.encode(p5, slot)
            enc.raw(d - QBASE[slot], QEXTRA[slot])
            pos += length
        if pos % FRAME == 0 or pos >= len(data):
            frames.append((enc.finish(pos >= len(data)), min(pos, len(data)) - start))
            start = pos
            enc = QEncoder()
    return frames


def quantum_plan(rng, size, bits, max_dist=None, overshoot=0):
    """A plan whose matches respect the selector limits: length 3 reaches
    4096 back (or the window), length 4 reaches 2^18, longer ones the window.
    With overshoot (1..256), the data ends in a run of zeros whose last match
    runs that many bytes past the end (inside the last, short frame), as
    compressors leave it; the bytes past the end are not part of the file."""
    window = 1 << bits
    tail = 600 if overshoot else 0
    plan, data = make_plan(rng, size - tail, min(window, max_dist or window), 3, 259, True)
    if overshoot:
        assert 0 < overshoot <= 256 and (size - tail) // FRAME == (size + overshoot - 1) // FRAME
        last = 259 - overshoot  # bytes of the last match inside the file
        plan.append(0)
        mid = tail - 1 - last
        while mid:
            n = 259 if mid - 259 >= 3 or mid == 259 else mid - 3 if mid > 259 else mid
            plan.append((n, 1))
            mid -= n
        plan.append((259, 1))
    out = []
    fixed = bytearray()
    for t in plan:
        if isinstance(t, int):
            out.append(t)
            fixed.append(t)
            continue
        length, dist = t
        dist = min(dist, len(fixed))
        if length == 3:
            dist = min(dist, 4096)
        elif length == 4:
            dist = min(dist, 1 << 18)
        for _ in range(length):
            fixed.append(fixed[-dist])
        out.append((length, dist))
    return out, bytes(fixed[:size])


# ---------------------------------------------------------------- main

def main():
    ap = argparse.ArgumentParser()
    for name, kw in [('method', dict(choices=['lzx', 'quantum'])), ('bits', dict(type=int)), ('out', {}),
                     ('seed', dict(type=int)), ('--size', dict(type=int, default=200000)),
                     ('--e8', dict(action='store_true')), ('--calls', dict(action='store_true')),
                     ('--blocks', dict(default='v,a,s')), ('--max-dist', dict(type=int)),
                     ('--overshoot', dict(type=int, default=0))]:
        ap.add_argument(name, **kw)
    a = ap.parse_args()
    rng = random.Random(a.seed)
    if a.method == 'lzx':
        window = 1 << a.bits
        plan, windata = make_plan(rng, a.size, min(window - 3, a.max_dist or window), 2, 257, True, a.calls)
        e8 = 12000000 if a.e8 else 0
        frames = lzx_encode(a.bits, plan, windata, e8, a.blocks.split(','), rng)
        payload = undo_e8(windata, e8) if e8 else windata
        type_compress = 3 | (a.bits << 8)
    else:
        plan, payload = quantum_plan(rng, a.size, a.bits, a.max_dist, a.overshoot)
        frames = quantum_encode(a.bits, plan, payload)
        type_compress = 2 | (2 << 4) | (a.bits << 8)
    assert sum(n for _, n in frames) == len(payload)
    write_cab(a.out, type_compress, frames, [('payload.bin', len(payload))])
    print(hashlib.sha256(payload).hexdigest(), len(payload))


if __name__ == '__main__':
    sys.exit(main())
