#!/usr/bin/env python3
"""Known-answer vectors for the stored-password cipher, made without the library the program uses.

Blowfish is written out here in pure Python; its initial P-array and S-boxes are the hexadecimal
digits of pi's fraction, computed below with Machin's formula. The key is SHA-1 of the empty string
(hashlib), all 20 bytes; the starting register is Blowfish of a zero block; the mode is 8-bit cipher
feedback; the text is standard Base64 with "=" filling.

    make-vectors.py > vectors.txt          writes the vectors
    make-vectors.py --check-openssl        also compares this Blowfish (ECB, 16-byte keys) with the
                                           openssl command-line tool (OpenSSL 3: legacy provider)

Each line of vectors.txt: "plain=<hex bytes> enciphered=<base64>" (either side may be empty).
"""
import base64
import hashlib
import os
import subprocess
import sys

MASK = 0xFFFFFFFF


def pi_fraction_words(count):
    """The first `count` 32-bit words of pi's fractional part."""
    bits = 32 * count + 64  # guard bits
    one = 1 << bits

    def arctan_inv(x):
        total, term, n, sign = 0, one // x, 1, 1
        x2 = x * x
        while term:
            total += sign * (term // n)
            term //= x2
            n += 2
            sign = -sign
        return total

    pi = 16 * arctan_inv(5) - 4 * arctan_inv(239)
    fraction = (pi - 3 * one) >> 64  # 32*count bits of the fraction
    return [(fraction >> (32 * (count - 1 - i))) & MASK for i in range(count)]


class Blowfish:
    _INIT = pi_fraction_words(18 + 4 * 256)

    def __init__(self, key):
        self.p = list(self._INIT[:18])
        self.s = [list(self._INIT[18 + 256 * i: 18 + 256 * (i + 1)]) for i in range(4)]
        k = 0
        for i in range(18):
            word = 0
            for _ in range(4):
                word = (word << 8) | key[k % len(key)]
                k += 1
            self.p[i] ^= word
        left = right = 0
        for i in range(0, 18, 2):
            left, right = self._encrypt_words(left, right)
            self.p[i], self.p[i + 1] = left, right
        for box in self.s:
            for i in range(0, 256, 2):
                left, right = self._encrypt_words(left, right)
                box[i], box[i + 1] = left, right

    def _f(self, x):
        s = self.s
        h = (s[0][x >> 24] + s[1][(x >> 16) & 0xFF]) & MASK
        return ((h ^ s[2][(x >> 8) & 0xFF]) + s[3][x & 0xFF]) & MASK

    def _encrypt_words(self, left, right):
        for i in range(16):
            left ^= self.p[i]
            right ^= self._f(left)
            left, right = right, left
        left, right = right, left
        right ^= self.p[16]
        left ^= self.p[17]
        return left, right

    def encrypt_block(self, block):
        left = int.from_bytes(block[:4], "big")
        right = int.from_bytes(block[4:], "big")
        left, right = self._encrypt_words(left, right)
        return left.to_bytes(4, "big") + right.to_bytes(4, "big")


def cfb8(cipher, iv, data, decrypt=False):
    register = bytearray(iv)
    out = bytearray()
    for byte in data:
        result = byte ^ cipher.encrypt_block(bytes(register))[0]
        out.append(result)
        register = register[1:] + bytes([byte if decrypt else result])
    return bytes(out)


def encipher_password(plain):
    cipher = Blowfish(hashlib.sha1(b"").digest())
    iv = cipher.encrypt_block(bytes(8))
    return base64.b64encode(cfb8(cipher, iv, plain)).decode("ascii")


def self_test():
    # Published Blowfish ECB test values (8-byte keys).
    for key, plain, expected in [
        ("0000000000000000", "0000000000000000", "4ef997456198dd78"),
        ("ffffffffffffffff", "ffffffffffffffff", "51866fd5b85ecb8a"),
        ("3000000000000000", "1000000000000001", "7d856f9a613063f2"),
    ]:
        got = Blowfish(bytes.fromhex(key)).encrypt_block(bytes.fromhex(plain)).hex()
        assert got == expected, (key, got, expected)


def check_openssl():
    def run(args, data):
        return subprocess.run(["openssl", "enc", "-provider", "legacy", "-provider", "default"] + args,
                              input=data, capture_output=True, check=True).stdout

    # The tool has no 8-bit feedback mode and takes at most 16 key bytes, so it checks the block
    # cipher: several blocks under random 16-byte keys (the key schedule cycles through the key bytes
    # the same way for any length).
    for _ in range(20):
        key = os.urandom(16)
        blocks = os.urandom(64)
        ecb = run(["-bf-ecb", "-nopad", "-K", key.hex()], blocks)
        cipher = Blowfish(key)
        ours = b"".join(cipher.encrypt_block(blocks[i:i + 8]) for i in range(0, len(blocks), 8))
        assert ecb == ours, "ECB differs"
    print("openssl agrees", file=sys.stderr)


def main():
    self_test()
    if "--check-openssl" in sys.argv:
        check_openssl()
    passwords = [
        b"", b"a", b"ab", b"abc", b"abcd", b"secret", b"secret2", b"P@ssw0rd!",
        bytes(range(1, 20)), "pässwörd€".encode("utf-8"), "pässwörd".encode("latin-1"),
        bytes([0x00, 0xFF, 0x80, 0x7F]),
        b"The quick brown fox jumps over the lazy dog; 0123456789 and a few more bytes up to one hundred!!",
        bytes((i * 37 + 11) & 0xFF for i in range(189)),
    ]
    for plain in passwords:
        print(f"plain={plain.hex()} enciphered={encipher_password(plain)}")


if __name__ == "__main__":
    main()
