#!/usr/bin/env python3
"""Writes digit_table.txt: the expected digits and item texts of reals.

The digits printed for a real are those of a procedure in 8-byte binary
floating point (repeated division and multiplication by 10, a bias of 0.03
on integer digits, one half-up rounding of the digit string), not those of
the exact decimal value. This model follows the rules of that procedure with
exact rational arithmetic and rounds to the nearest 8-byte real, ties to
even, wherever the procedure computes in floating point. It shares no code
with the C++ routines and computes only with exact rationals, so the C++
code is checked against the rules rather than against itself.

Rows (values as hexadecimal bit patterns):
  D <bits64> <17 digits> <decpt> <sign> |<25-character item text>|
  R <bits32> <8 digits> <decpt> <sign> |<15-character item text>|
  F <bits64> <f> <digits> <decpt> <sign>
The digits of D and R rows are those of __ecvt with 17 and 8 digits; F rows
are __fcvt with f fraction digits.

Run: python3 make_digit_table.py > digit_table.txt
"""
import math
import random
import struct
from fractions import Fraction

MAX_DIGITS = 510  # longest digit string of the generator


def pow2(e):
    return Fraction(2) ** e


def rnd(x):
    """The 8-byte real nearest to x, ties to even; subnormals included."""
    if x == 0:
        return Fraction(0)
    a = abs(x)
    e = a.numerator.bit_length() - a.denominator.bit_length()
    if pow2(e) > a:
        e -= 1
    elif pow2(e + 1) <= a:
        e += 1
    quantum = pow2(max(e - 52, -1074))
    m = round(a / quantum)  # Fraction rounds half to even
    assert m * quantum < pow2(1024), "overflow"
    return m * quantum if x > 0 else -m * quantum


TEN = Fraction(10)
BIAS = rnd(Fraction(3, 100))  # the 8-byte constant 0.03


def modf(x):
    """Integer and fraction parts of a non-negative real (both exact)."""
    i = math.floor(x)
    return Fraction(i), x - i


def ecvt(x, n):
    """n significant digits of x: (digit list, decpt, sign)."""
    n = min(max(n, 0), MAX_DIGITS)
    sign = 1 if x < 0 else 0
    x = abs(x)
    ipart, frac = modf(x)
    r = 0
    digits = []
    if ipart != 0:
        while ipart != 0:
            q = rnd(ipart / TEN)
            ipart, q_frac = modf(q)
            d = math.floor(rnd(rnd(q_frac + BIAS) * TEN))
            assert 0 <= d <= 9
            digits.insert(0, d)
            r += 1
    elif frac > 0:
        while rnd(frac * TEN) < 1:
            frac = rnd(frac * TEN)
            r -= 1
    decpt = r
    while len(digits) < n + 1:
        ipart, frac = modf(rnd(frac * TEN))
        digits.append(int(ipart))
    # Half-up rounding at position n.
    i = n
    digits[i] += 5
    while digits[i] > 9:
        digits[i] = 0
        if i == 0:
            digits[0] = 1
            decpt += 1
            break
        i -= 1
        digits[i] += 1
    return digits[:n], decpt, sign


def fcvt(x, f):
    """Digits of x rounded to f fraction digits, for x != 0, decpt >= 0."""
    s, decpt, sign = ecvt(x, 16)
    assert decpt >= 0 and f >= 0
    out = s[:decpt]
    j = len(out)
    for _ in range(f):
        out.append(s[j] if j < len(s) else 0)
        j += 1
    if j < len(s) and s[j] >= 5:
        i = len(out) - 1
        while i >= 0 and out[i] == 9:
            out[i] = 0
            i -= 1
        if i >= 0:
            out[i] += 1
        else:
            out.insert(0, 1)
            decpt += 1
    out += [0] * (decpt - len(out))
    return (out or [0]), decpt, sign


def field(w, text, sign):
    """text with its sign right-justified in w characters."""
    s = "-" if sign else ""
    if len(s) + len(text) > w:
        if text.startswith("0.") and len(s) + len(text) - 1 <= w:
            text = text[1:]
        else:
            return "*" * w
    return " " * (w - len(s) - len(text)) + s + text


def text_of(x, w, d, e, single):
    """G editing, scale factor 1, exponent letter always written."""
    digits, decpt, sign = ecvt(x, 8 if single else 17)
    if digits[0] == 0 or decpt < 0 or decpt > d:
        mantissa = digits[:d + 1] + [0] * (d + 1 - len(digits))
        if any(mantissa):
            exp = decpt - 1
        else:
            exp, sign = 0, 0
        mag = str(abs(exp)) if exp else ""
        assert len(mag) <= e
        text = (str(mantissa[0]) + "." + "".join(map(str, mantissa[1:])) +
                "E" + ("-" if exp < 0 else "+") + mag.rjust(e, "0"))
        return field(w, text, sign)
    w2 = w - (e + 2)
    s, new_decpt, _ = fcvt(x, d - decpt)
    if new_decpt != decpt:
        decpt = new_decpt
        s, decpt, _ = fcvt(x, d - decpt)
    f = d - decpt
    while decpt > 0 and s and s[0] == 0:
        s = s[1:]
        decpt -= 1
    pad = s + [0] * (w2 + f)
    if decpt <= 0:
        z = min(f, -decpt)
        copied = pad[:f - z]
        text = "0." + "0" * z + "".join(map(str, copied))
    else:
        copied = pad[:decpt + f]
        text = ("".join(map(str, copied[:decpt])) + "." +
                "".join(map(str, copied[decpt:])))
    assert decpt <= w2 - f - 1
    if not any(copied):
        sign = 0
    return field(w2, text, sign) + " " * (e + 2)


def special_text(bits, width, exp_bits, frac_bits):
    """Inf or NaN texts right-justified, or None for a finite value."""
    exp_mask = (1 << exp_bits) - 1
    if (bits >> frac_bits) & exp_mask != exp_mask:
        return None
    if bits & ((1 << frac_bits) - 1):
        return field(width, "NaN", 0)
    return field(width, "Inf", bits >> (exp_bits + frac_bits))


def f64(bits):
    return struct.unpack("<d", struct.pack("<Q", bits))[0]


def bits64(v):
    return struct.unpack("<Q", struct.pack("<d", v))[0]


def bits32(v):
    return struct.unpack("<I", struct.pack("<f", v))[0]


def f32_value(bits):
    return Fraction(struct.unpack("<f", struct.pack("<I", bits))[0])


def digit_text(digits):
    return "".join(map(str, digits))


def d_row(bits):
    if special_text(bits, 25, 11, 52) is not None:
        return None  # infinities and NaNs have their own hand-written rows
    x = Fraction(f64(bits))  # negative zero becomes 0: not less than zero
    digits, decpt, sign = ecvt(x, 17)
    return "D %016x %s %d %d |%s|" % (bits, digit_text(digits), decpt, sign,
                                       text_of(x, 25, 16, 3, False))


def main():
    rng = random.Random(20261209)
    doubles = []
    # Every fourth decimal exponent over the whole range, a random mantissa.
    for exp10 in range(-323, 309, 4):
        m = rng.uniform(1.0, 10.0)
        doubles.append(float("%.17ge%d" % (m, exp10)))
    # Denser where integer digits meet the limits of an 8-byte mantissa.
    for exp10 in range(13, 21):
        for _ in range(2):
            doubles.append(rng.uniform(1.0, 10.0) * 10.0 ** exp10)
    doubles += [
        0.0, -0.0, 1.0, 0.1, 0.05, -2.25, 2.0 / 3.0, 1.0 / 3.0, 0.5, 9.5,
        123456.789, 1.0e15, 1.0e16, 1.0e20, 1.0e22, 1.0e23, 2.0 ** 53,
        2.0 ** 53 + 2, 2.0 ** 63, 2.0 ** 64, 9999999999999998.0,
        0.09999999999999999, 0.10000000000000002, 0.99999999999999989,
        9.9999999999999982, 99.999999999999986, 0.95, 0.995,
        f64(0x7FEFFFFFFFFFFFFF), f64(0x0010000000000000),
        f64(0x0000000000000001), f64(0x000FFFFFFFFFFFFF),
        -3.3928299718463445e283, 3.3928299718463445e283, 1.0e308, 1.0e-308,
        -1.5e-7, 6.283185307179586, 2.5e-5, 1.0e-5,
    ]
    print("# Generated by make_digit_table.py; do not edit.")
    for v in doubles:
        row = d_row(bits64(v))
        if row:
            print(row)
    # 4-byte reals over their exponent range.
    floats = [rng.uniform(1.0, 10.0) * 10.0 ** e for e in range(-44, 39, 3)]
    floats += [1.0, 0.1, -12.5, 9999999.0, 1.0e7, 1.0e10, 0.0, -1.5e-7,
               8388607.5, 0.99999994, 999999.9375, 3.4028235e38, 1.0e-45]
    for v in floats:
        b = bits32(struct.unpack("<f", struct.pack("<f", v))[0])
        x = f32_value(b)
        digits, decpt, sign = ecvt(x, 8)
        print("R %08x %s %d %d |%s|" % (b, digit_text(digits), decpt, sign,
                                         text_of(x, 15, 7, 2, True)))
    for v, f in [(1.5, 15), (0.5, 0), (99.96, 1), (0.99996, 4), (0.125, 2),
                 (2.0 / 3.0, 20), (1.0e20, 0), (123.456, 1), (-2.5, 0),
                 (9.9999999999999982, 15), (3.3928299718463445e16, 0)]:
        digits, decpt, sign = fcvt(Fraction(v), f)
        print("F %016x %d %s %d %d" % (bits64(v), f, digit_text(digits), decpt,
                                       sign))


if __name__ == "__main__":
    main()
