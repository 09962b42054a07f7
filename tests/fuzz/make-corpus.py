#!/usr/bin/env python3
"""Writes the seed corpus of the fuzz targets into corpus/<target>/.

Byte seeds are real frames: the simulated module's device-information reply, write and
status replies, RSSI reports. Text seeds are what users type into the fields, laid out the
way FuzzedDataProvider reads them (strings from the front, each ended by a backslash and
another character; integers and flags from the back)."""
import os
import sys

here = os.path.dirname(os.path.abspath(__file__))


def frame(cmd0, cmd1, payload=b""):
    body = bytes([len(payload), cmd0, cmd1]) + payload
    check = 0
    for b in body:
        check ^= b
    return b"\xfe" + body + bytes([check])


def h(text):
    return bytes.fromhex(text)


# The simulated module's reply in its initial state (LEN 57).
device_info_payload = h(
    "01 2B1A 0100 00800000 01 00 00 00 14 35 02 7766554433221100 00 00 00 05 0A 8B"
    " 03 04 02 09 FF FF FF 20 2003 10 FF 000000 0000 FFFF EFCDAB8967452301")
assert len(device_info_payload) == 57
device_info = frame(0x61, 0x08, device_info_payload)
rssi_report = h("01 02 0B 34 12 05 D2 C8")


class Seed:
    """Builds one FuzzedDataProvider input."""

    def __init__(self):
        self.front = b""
        self.back = []  # in the order they are consumed

    def text(self, value, utf8=True):
        raw = value.encode("utf-8") if utf8 else value.encode("utf-16-le")
        self.front += raw.replace(b"\\", b"\\\\") + b"\\x"
        self.flag(utf8)
        return self

    def flag(self, value):
        self.back.append(1 if value else 0)
        return self

    def small(self, value, lowest):
        """ConsumeIntegralInRange over fewer than 256 values."""
        self.back.append(value - lowest)
        return self

    def index(self, value):
        """ConsumeIntegralInRange(-1, 0xFFFF): two bytes."""
        offset = value + 1
        self.back += [(offset >> 8) & 0xFF, offset & 0xFF]
        return self

    def byte(self, value):
        self.back.append(value & 0xFF)
        return self

    def bytes(self):
        return self.front + bytes(reversed(self.back))


def write(target, name, data):
    folder = os.path.join(here, "corpus", target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def device_info_seeds():
    t = "fuzz_deviceinfo"
    write(t, "device-info-reply", device_info)
    write(t, "device-info-garbage-around", h("00 FF FE 12") + device_info + h("FE 01"))
    write(t, "device-info-bad-check", device_info[:-1] + bytes([device_info[-1] ^ 0xFF]))
    write(t, "device-info-truncated", device_info[:40])
    write(t, "device-info-twice", device_info + device_info)
    write(t, "len-0", frame(0x61, 0x08))
    write(t, "len-255", frame(0x61, 0x08, device_info_payload + bytes(255 - 57)))
    write(t, "len-255-cut", h("FE FF 61 08") + device_info_payload)
    write(t, "nv-write-reply", frame(0x61, 0x09, h("00")))
    write(t, "tx-power-reply", frame(0x61, 0x14, h("00")))
    write(t, "restart-reply", frame(0x61, 0x00, h("00")))
    write(t, "write-reply-then-device-info", frame(0x61, 0x09, h("00")) + device_info)
    write(t, "rssi-report", rssi_report)


def rxlog_seeds():
    t = "fuzz_rxlog"
    write(t, "rssi-report", rssi_report)
    write(t, "rssi-report-wrapping", h("01 02 0B 34 12 05 7F FF"))
    write(t, "device-info-reply", device_info)
    write(t, "status-reply", frame(0x61, 0x21, h("00")))
    write(t, "empty", b"")
    write(t, "stream-201", bytes(i & 0xFF for i in range(201)))


texts = {
    "net-id": "1A2B",
    "short-address": "0001",
    "ext-pan-id": "0123456789ABCDEF",
    "odd-digits": "123",
    "blanks": "12 34",
    "lower-case": "abcd",
    "prefix": "0x12",
    "full-width": "１２",
    "minus": "-",
    "negative": "-22",
    "decimal": "10",
    "divider": "0032",
    "frequency": "00 00 03 E8",
    "lone-blank": " ",
    "empty": "",
    "long": "F" * 600,
    "int-max": "2147483647",
    "large-negative": "-1099999999",
}


def parameter_write_seeds():
    t = "fuzz_parameterwrites"
    for name, value in texts.items():
        write(t, name, Seed().index(3).byte(1).text(value).bytes())
    write(t, "index-minus-one", Seed().index(-1).byte(0).text("").bytes())
    write(t, "index-large", Seed().index(40).byte(255).text("12").bytes())
    write(t, "pin-function", Seed().index(0).byte(2).text("PWM输出").bytes())


def digiapi_seeds():
    t = "fuzz_digiapi"
    write(t, "presets", Seed().text("0000000000000000").text("FFFE").text("01 02").bytes())
    write(t, "mac", Seed().text("0011223344556677").text("FFFE").text("").bytes())
    write(t, "short-fields", Seed().text("12").text("1").text("A").bytes())
    write(t, "non-hex", Seed().text("00112233445566zz").text("FF-E").text("hello").bytes())
    write(t, "full-width", Seed().text("１２").text("ＦＦ").text("０１").bytes())
    write(t, "long-data", Seed().text("0000000000000000").text("FFFE").text("AB" * 250).bytes())


def remote_seed(command, parameter_list=0, parameter=-1, choice_list=0, choice=-1,
                function=-1, address="00 00", value="", line=""):
    s = Seed()
    s.small(command, -2).small(1, 0)
    s.flag(parameter_list == 0).small(parameter, -2).small(1, 0)
    s.flag(choice_list == 0).small(choice, -2).small(1, 0)
    s.small(function, -2).small(1, 0)
    s.text(address).text(value).text(line)
    return s.bytes()


def remote_frame_seeds():
    t = "fuzz_remoteframe"
    write(t, "write-node-type", remote_seed(1, parameter=1, choice=1))
    write(t, "read-pan-id", remote_seed(2, parameter=2))
    write(t, "write-channel", remote_seed(1, parameter=3, choice=2))
    write(t, "write-pwm-frequency", remote_seed(1, parameter=14, value="00 00 03 E8"))
    write(t, "write-pwm-divider", remote_seed(1, parameter=13, choice=2))
    write(t, "io-config", remote_seed(1, parameter=0, choice_list=1, choice=6, function=8))
    write(t, "level-output", remote_seed(4, parameter_list=1, parameter=2, function=1))
    write(t, "pwm-output", remote_seed(5, parameter_list=1, parameter=2, value="32"))
    write(t, "serial-data", remote_seed(6, address="12 34", value="AA BB"))
    write(t, "restart", remote_seed(7))
    write(t, "node-scan", remote_seed(9, address="12 34"))
    write(t, "odd-address", remote_seed(7, address="1 23"))
    write(t, "non-hex-address", remote_seed(7, address="x12:34"))
    write(t, "full-width-value", remote_seed(6, value="１２"))
    write(t, "edited-line", remote_seed(7, line="FE 02 21 21 00 00 02"))
    write(t, "long-value", remote_seed(6, value="41" * 300))


if __name__ == "__main__":
    device_info_seeds()
    rxlog_seeds()
    parameter_write_seeds()
    digiapi_seeds()
    remote_frame_seeds()
    sys.exit(0)
