#!/usr/bin/python3
"""Generates PIN protocol one test vectors with python-fido2 (an independent implementation).

Run from the repository root:
    /usr/bin/python3 tests/data/ctap/make_pin_vectors.py > tests/data/ctap/pin_protocol_one_vectors.txt

The platform and key private scalars are fixed so the vectors are reproducible. Each line is
"name hex"; the C++ tests recompute every value with our own code and compare.
"""
import hashlib

from cryptography.hazmat.backends import default_backend
from cryptography.hazmat.primitives.asymmetric import ec
from fido2.ctap2.pin import PinProtocolV1
from fido2.utils import int2bytes

PLATFORM_D = int("1f" * 32, 16) % (2**255)
KEY_D = int("6b" * 32, 16) % (2**255)
PIN = "1234".encode("utf-8")
NEW_PIN = "テスト5678".encode("utf-8")
TOKEN = bytes(range(0x20, 0x40))

be = default_backend()
proto = PinProtocolV1()
platform_sk = ec.derive_private_key(PLATFORM_D, ec.SECP256R1(), be)
key_sk = ec.derive_private_key(KEY_D, ec.SECP256R1(), be)
key_pub = key_sk.public_key().public_numbers()
platform_pub = platform_sk.public_key().public_numbers()
shared = proto.kdf(platform_sk.exchange(ec.ECDH(), key_sk.public_key()))


def padded(pin):
    return pin + b"\0" * (64 - len(pin))


def pin_hash(pin):
    return hashlib.sha256(pin).digest()[:16]


new_pin_enc = proto.encrypt(shared, padded(NEW_PIN))
pin_hash_enc = proto.encrypt(shared, pin_hash(PIN))
rows = [
    ("platform_private", int2bytes(PLATFORM_D, 32)),
    ("platform_x", int2bytes(platform_pub.x, 32)),
    ("platform_y", int2bytes(platform_pub.y, 32)),
    ("key_x", int2bytes(key_pub.x, 32)),
    ("key_y", int2bytes(key_pub.y, 32)),
    ("shared_secret", shared),
    ("pin", PIN),
    ("new_pin", NEW_PIN),
    ("pin_hash_enc", pin_hash_enc),
    ("new_pin_enc", new_pin_enc),
    ("set_pin_auth", proto.authenticate(shared, new_pin_enc)),
    ("change_pin_auth", proto.authenticate(shared, new_pin_enc + pin_hash_enc)),
    ("token", TOKEN),
    ("token_enc", proto.encrypt(shared, TOKEN)),
    ("bio_message", bytes.fromhex("0106a1014200 05".replace(" ", ""))),
    ("bio_pin_auth", proto.authenticate(TOKEN, bytes.fromhex("0106a101420005"))),
]
for name, value in rows:
    print(name, value.hex())
