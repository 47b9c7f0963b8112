#!/usr/bin/env python3
# Writes import_lines.xls, the older spreadsheet format (BIFF8 in an OLE2 compound file) that
# the line-import test reads: a header row of goods code, quantity and price and two lines.
# The workbook stream is padded past 4096 bytes so that it lives in ordinary sectors and the
# file needs no mini stream. Usage: make_import_xls.py OUT.xls
import struct
import sys

def rec(t, data): return struct.pack('<HH', t, len(data)) + data

def xlstr16(s):  # XLUnicodeString, UTF-16
    return struct.pack('<HB', len(s), 1) + s.encode('utf-16-le')

def short16(s):
    return struct.pack('<BB', len(s), 1) + s.encode('utf-16-le')

def workbook(rows):
    strings = []
    for r in rows:
        for v in r:
            if isinstance(v, str) and v not in strings: strings.append(v)
    bof = lambda dt: rec(0x0809, struct.pack('<HHHHII', 0x0600, dt, 0x0DBB, 0x07CC, 0, 0x06))
    sheet = bof(0x0010)
    ncols = max(len(r) for r in rows)
    sheet += rec(0x0200, struct.pack('<IIHHH', 0, len(rows), 0, ncols, 0))
    for i, r in enumerate(rows):
        for j, v in enumerate(r):
            if v is None: continue
            if isinstance(v, str):
                sheet += rec(0x00FD, struct.pack('<HHHI', i, j, 15, strings.index(v)))
            else:
                sheet += rec(0x0203, struct.pack('<HHHd', i, j, 15, float(v)))
    sheet += rec(0x000A, b'')
    xf = struct.pack('<HHHBBBBIIH', 0, 0, 0xFFF5, 0x20, 0, 0, 0, 0, 0, 0x20C0)
    xfcell = struct.pack('<HHHBBBBIIH', 0, 0, 0x0001, 0x20, 0, 0, 0, 0, 0, 0x20C0)
    font = struct.pack('<HHHHHBBBB', 200, 0, 0x7FFF, 400, 0, 0, 0, 0, 0) + short16('Arial')
    sst = rec(0x00FC, struct.pack('<ii', len(strings), len(strings)) + b''.join(xlstr16(s) for s in strings))
    def globals_(offset):
        g = bof(0x0005) + rec(0x0042, struct.pack('<H', 1200))
        for _ in range(5): g += rec(0x0031, font)
        for _ in range(15): g += rec(0x00E0, xf)
        g += rec(0x00E0, xfcell)
        g += rec(0x0085, struct.pack('<IBB', offset, 0, 0) + short16('Sheet1'))
        g += sst + rec(0x000A, b'')
        return g
    g = globals_(0)
    g = globals_(len(g))
    return g + sheet


def compound_big(stream):
    SEC = 512; END = 0xFFFFFFFE; FREE = 0xFFFFFFFF; FATSECT = 0xFFFFFFFD; NOSTREAM = 0xFFFFFFFF
    data = stream + b'\0' * ((-len(stream)) % SEC)
    n = len(data) // SEC
    # sectors: 0 FAT, 1 dir, 2.. workbook
    fat = [FATSECT, END] + [i + 1 for i in range(2, 2 + n - 1)] + [END]
    fat += [FREE] * (128 - len(fat))
    def entry(name, typ, child, start, size):
        nm = (name + '\0').encode('utf-16-le') if name else b''
        return (nm + b'\0' * (64 - len(nm)) + struct.pack('<HBBIII', len(nm), typ, 1, NOSTREAM, NOSTREAM, child)
                + b'\0' * 16 + struct.pack('<I', 0) + b'\0' * 16 + struct.pack('<IQ', start, size))
    d = entry('Root Entry', 5, 1, END, 0) + entry('Workbook', 2, NOSTREAM, 2, len(stream)) + entry('', 0, NOSTREAM, 0, 0) * 2
    header = (bytes.fromhex('D0CF11E0A1B11AE1') + b'\0' * 16 + struct.pack('<HHHHH', 0x3E, 3, 0xFFFE, 9, 6) + b'\0' * 6
              + struct.pack('<IIIIIIIII', 0, 1, 1, 0, 4096, END, 0, END, 0) + struct.pack('<I', 0) + struct.pack('<I', FREE) * 108)
    return header + struct.pack('<128I', *fat) + d + data



ROWS = [['货品编号', '数量', '单价'], ['IMP-XLS-1', 3, 12.5], ['IMP-XLS-2', 2.5, 4]]

if __name__ == '__main__':
    wb = workbook(ROWS)
    wb += b'\0' * max(0, 4200 - len(wb))
    open(sys.argv[1], 'wb').write(compound_big(wb))
