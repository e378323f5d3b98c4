#!/usr/bin/env python3
# Writes src/funct/SinCosTable.inc: sin(j/64) and cos(j/64) for j = 0..LAST,
# each as the value rounded to a double and the rest rounded to a double. The
# build does not run this; the table is committed.
#   scripts/sincos-table.py > src/funct/SinCosTable.inc
import mpmath

LAST = 455
mpmath.mp.prec = 256


def rounded(v, bits):
    """v rounded to nearest (ties to even) with a significand of `bits` bits: (mantissa, exponent)."""
    if v == 0:
        return 0, 0
    m, e = mpmath.frexp(v)  # v = m * 2^e, 0.5 <= |m| < 1
    scaled = mpmath.ldexp(m, bits)
    n = int(mpmath.nint(scaled))
    if abs(n) == 1 << bits:
        n //= 2
        e += 1
    return n, e - bits


def double(v):
    n, e = rounded(v, 53)
    if n == 0:
        return "0.0", mpmath.mpf(0)
    sign = "-" if n < 0 else ""
    frac = abs(n) - (1 << 52)
    return f"{sign}0x1.{frac:013X}p{e + 52}", mpmath.ldexp(n, e)


print(f"// sin(j/64) and cos(j/64), j = 0..{LAST}: the rounded sine and cosine, then the")
print("// rest of each, all rounded to double. Written by scripts/sincos-table.py.")
for j in range(LAST + 1):
    a = mpmath.mpf(j) / 64
    s, c = mpmath.sin(a), mpmath.cos(a)
    s_hi, s_hi_v = double(s)
    c_hi, c_hi_v = double(c)
    s_lo, _ = double(s - s_hi_v)
    c_lo, _ = double(c - c_hi_v)
    print(f"    {{{s_hi}, {c_hi}, {s_lo}, {c_lo}}},")
