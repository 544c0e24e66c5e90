#!/usr/bin/env python3
"""Writes sm_vectors.txt: secure-messaging APDUs computed independently of the tool.

Run from the repository root:
    python3 tests/data/transport/make_sm_vectors.py > tests/data/transport/sm_vectors.txt

Uses the Python 'cryptography' package (AES, triple DES) so that the C++ code under test is
checked against a second implementation of ISO/IEC 9797-1 padding method 2, AES-128 CBC and
CBC-MAC, two-key triple DES CBC and MAC algorithm 3. Inputs are fixed, so the output is
reproducible.
"""
from cryptography.hazmat.primitives.ciphers import Cipher, modes
from cryptography.hazmat.primitives.ciphers.algorithms import AES

try:  # newer releases keep triple DES among the "decrepit" algorithms
    from cryptography.hazmat.decrepit.ciphers.algorithms import TripleDES
except ImportError:
    from cryptography.hazmat.primitives.ciphers.algorithms import TripleDES

MAKER_KEY = bytes.fromhex("107CB9E3C5B6FFA6CFC9B9F21D64E85F")
OTHER_KEY = bytes(range(0x40, 0x50))


def pad(data, block):
    data = data + b"\x80"
    return data + b"\x00" * (-len(data) % block)


def cbc(algorithm, iv, data):
    enc = Cipher(algorithm, modes.CBC(iv)).encryptor()
    return enc.update(data) + enc.finalize()


def ecb(algorithm, data, decrypt=False):
    cipher = Cipher(algorithm, modes.ECB())
    ctx = cipher.decryptor() if decrypt else cipher.encryptor()
    return ctx.update(data) + ctx.finalize()


def encrypt(kind, key, challenge, data):
    if kind == "aes":
        return cbc(AES(key), challenge + bytes(8), pad(data, 16))
    # Two-key triple DES: K1, K2, K1.
    return cbc(TripleDES(key + key[:8]), challenge, pad(data, 8))


def mac(kind, key, challenge, message):
    if kind == "aes":
        return cbc(AES(key), challenge + bytes(8), pad(message, 16))[-16:]
    k1, k2 = key[:8], key[8:]
    # Single DES is triple DES with one key repeated.
    chain = cbc(TripleDES(k1 * 3), challenge, pad(message, 8))[-8:]
    chain = ecb(TripleDES(k2 * 3), chain, decrypt=True)
    return ecb(TripleDES(k1 * 3), chain)


def secure_apdu(kind, key, challenge, header, data):
    body = encrypt(kind, key, challenge, data) if data else b""
    mac_size = 16 if kind == "aes" else 8
    message = header + bytes([len(body) + mac_size]) + body
    return message + mac(kind, key, challenge, message)


CASES = [
    # header, data, challenge
    ("84E20400", "", "0102030405060708"),
    ("84E20103", "0007", "A1B2C3D4E5F60718"),
    ("84E20300", "00FF", "0000000000000000"),
    ("84E20202", "", "FFFFFFFFFFFFFFFF"),
    ("46E20600", "00112233445566778899AABBCCDDEEFF", "1122334455667788"),
    ("46E20700", "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D1E1F",
     "8877665544332211"),
    ("46E20700", "41" * 7, "0102030405060708"),
    ("46E20700", "42" * 8, "0102030405060708"),
    ("46E20700", "43" * 15, "0102030405060708"),
]

if __name__ == "__main__":
    print("# cipher key header data challenge apdu (hex; '-' for no data)")
    print("# made by: python3 tests/data/transport/make_sm_vectors.py")
    for kind in ("aes", "des"):
        for key in (MAKER_KEY, OTHER_KEY):
            for header, data, challenge in CASES:
                apdu = secure_apdu(kind, key, bytes.fromhex(challenge), bytes.fromhex(header),
                                   bytes.fromhex(data))
                print(kind, key.hex().upper(), header, data or "-", challenge, apdu.hex().upper())
