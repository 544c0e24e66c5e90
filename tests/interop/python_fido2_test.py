"""The virtual key daemon driven by python-fido2 0.9.1, unmodified.

Usage: python3 python_fido2_test.py PATH-TO-kelvora-vkey
"""

import sys
import time
import unittest

from fido2.ctap import CtapError
from fido2.ctap2 import Ctap2, ClientPin
from fido2.ctap2.bio import BioEnrollment, FPBioEnrollment

from vkey_daemon import Daemon

BINARY = None
RESET_WINDOW_MS = 1500


def prototype_bio(ctap, protocol, token):
    """FPBioEnrollment for the prototype command.

    python-fido2 0.9.1's constructor looks for "credentialMgmtPreview" to accept the
    prototype, while CTAP 2.1's preview names it "userVerificationMgmtPreview" (which
    Ctap2.bio_enrollment itself uses to pick command 0x40). The rest of the class is used
    as it is.
    """
    bio = FPBioEnrollment.__new__(FPBioEnrollment)
    bio.ctap = ctap
    bio.modality = bio.get_modality()
    bio.pin_uv_protocol = protocol
    bio.pin_uv_token = token
    return bio


class VirtualKeyWithPythonFido2(unittest.TestCase):
    def setUp(self):
        # Clean-ups run even when setUp fails, unlike tearDown.
        self.daemon = Daemon(BINARY, "--auto-touch", "30", "--reset-window", str(RESET_WINDOW_MS))
        self.addCleanup(self.daemon.stop)
        self.device = self.daemon.plug()
        self.addCleanup(lambda: self.device.close())
        self.ctap = Ctap2(self.device)

    def replug(self):
        self.device.close()
        time.sleep(0.05)
        self.device = self.daemon.plug()
        self.ctap = Ctap2(self.device)

    def test_get_info_ping_wink(self):
        info = self.ctap.info
        self.assertIn("FIDO_2_0", info.versions)
        self.assertEqual(info.pin_uv_protocols, [1])
        self.assertIs(info.options["clientPin"], False)
        self.assertIn("userVerificationMgmtPreview", info.options)
        self.assertEqual(self.device.ping(b"x" * 200), b"x" * 200)
        self.device.wink()

    def test_pin_set_token_change_and_retries(self):
        pin = ClientPin(self.ctap)
        pin.set_pin("1234")
        self.assertEqual(pin.get_pin_retries()[0], 8)
        self.assertEqual(len(pin.get_pin_token("1234")), 32)
        with self.assertRaises(CtapError) as wrong:
            pin.get_pin_token("9999")
        self.assertEqual(wrong.exception.code, CtapError.ERR.PIN_INVALID)
        self.assertEqual(pin.get_pin_retries()[0], 7)
        pin.change_pin("1234", "abcdef")
        self.assertEqual(pin.get_pin_retries()[0], 8)
        with self.assertRaises(CtapError) as old:
            pin.get_pin_token("1234")
        self.assertEqual(old.exception.code, CtapError.ERR.PIN_INVALID)
        with self.assertRaises(CtapError) as third:
            pin.get_pin_token("1234")
        self.assertEqual(third.exception.code, CtapError.ERR.PIN_INVALID)
        with self.assertRaises(CtapError) as blocked:
            pin.get_pin_token("1234")
        self.assertEqual(blocked.exception.code, CtapError.ERR.PIN_AUTH_BLOCKED)
        self.replug()
        pin = ClientPin(self.ctap)
        self.assertEqual(pin.get_pin_retries()[0], 5)
        pin.get_pin_token("abcdef")
        self.assertIs(self.ctap.get_info().options["clientPin"], True)

    def test_bio_enrollment_prototype(self):
        pin = ClientPin(self.ctap)
        pin.set_pin("1234")
        token = pin.get_pin_token("1234")
        bio = prototype_bio(self.ctap, pin.protocol, token)
        self.assertEqual(bio.modality, BioEnrollment.MODALITY.FINGERPRINT)
        info = bio.get_fingerprint_sensor_info()
        self.assertEqual(info[BioEnrollment.RESULT.MAX_SAMPLES_REQUIRED], 4)
        self.assertEqual(bio.enumerate_enrollments(), {})

        context = bio.enroll(timeout=3000)
        template_id = None
        captures = 0
        while template_id is None:
            template_id = context.capture()
            captures += 1
        self.assertEqual(captures, 4)
        self.assertEqual(bio.enumerate_enrollments(), {template_id: ""})
        self.assertIs(self.ctap.get_info().options["uv"], True)

        bio.set_name(template_id, "left thumb")
        self.assertEqual(bio.enumerate_enrollments(), {template_id: "left thumb"})

        second = bio.enroll(timeout=3000)
        while second.capture() is None:
            pass
        self.assertEqual(len(bio.enumerate_enrollments()), 2)

        bio.remove_enrollment(template_id)
        self.assertNotIn(template_id, bio.enumerate_enrollments())
        for gone in (lambda: bio.remove_enrollment(template_id),
                     lambda: bio.set_name(template_id, "gone")):
            with self.assertRaises(CtapError) as unknown:
                gone()
            self.assertEqual(unknown.exception.code, CtapError.ERR.INVALID_OPTION)

        bad = prototype_bio(self.ctap, pin.protocol, b"\0" * 32)
        with self.assertRaises(CtapError) as refused:
            bad.enumerate_enrollments()
        self.assertEqual(refused.exception.code, CtapError.ERR.PIN_AUTH_INVALID)

    def test_reset_inside_and_outside_the_window(self):
        ClientPin(self.ctap).set_pin("1234")
        time.sleep(RESET_WINDOW_MS / 1000 + 0.3)
        with self.assertRaises(CtapError) as late:
            self.ctap.reset()
        self.assertEqual(late.exception.code, CtapError.ERR.NOT_ALLOWED)
        self.replug()
        self.ctap.reset()
        self.assertIs(self.ctap.get_info().options["clientPin"], False)


if __name__ == "__main__":
    BINARY = sys.argv.pop(1)
    unittest.main(verbosity=2)
