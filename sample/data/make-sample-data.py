#!/usr/bin/env python3
"""Writes the sample product's help and data files into a folder.

QVX.hlp      the help file: binary, topic texts between blocks of table data
QVX.cnt      the help contents: text with CR LF line ends, first line names QVX.hlp
default.rex  the default rules: mostly text
default.stg  the default settings: binary records

Every byte follows from this script alone (a fixed linear congruential
generator, no clock, no randomness), so two builds produce identical files.
"""
import struct
import sys
from pathlib import Path

TOPICS = [
    ("Quorvex", "Quorvex keeps your measurement series in one place."),
    ("Getting started", "Open a series with File, Open, or start a new one with File, New."),
    ("Series", "A series is a list of readings taken at fixed intervals."),
    ("Rules", "Rules mark readings that leave their expected range."),
    ("Settings", "Settings hold the units, the display precision and the colours."),
    ("Printing", "Print a series or its chart with File, Print."),
    ("Uninstalling", "Remove Quorvex with Add/Remove Programs in the Control Panel."),
]


class Lcg:
    def __init__(self, seed):
        self.state = seed

    def byte(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return (self.state >> 16) & 0xFF

    def bytes(self, count):
        return bytes(self.byte() for _ in range(count))


def help_file():
    rng = Lcg(0x51564858)
    out = bytearray(b"QVXHELP\x1a" + struct.pack("<HH", 1, len(TOPICS)))
    for round_ in range(12):
        for number, (title, text) in enumerate(TOPICS):
            body = f"{title}\r\n{text}\r\n".encode("ascii") * 4
            out += struct.pack("<HHI", number, round_, len(body)) + body
            # A table of readings: small values, so it compresses only partly.
            out += bytes(rng.byte() & 0x1F for _ in range(512))
            out += rng.bytes(96)
    return bytes(out)


def contents_file():
    lines = [":Base QVX.hlp", ":Title Quorvex Help", "1 Quorvex"]
    for number, (title, _) in enumerate(TOPICS[1:], start=1):
        lines.append(f"2 {title}=topic_{number}")
    return ("\r\n".join(lines) + "\r\n").encode("ascii")


def rules_file():
    lines = ["; Quorvex default rules", "[General]", "Version=1", ""]
    for channel in range(1, 25):
        lines += [
            f"[Channel{channel}]",
            f"Name=Channel {channel}",
            f"Low={channel * 3}",
            f"High={channel * 7 + 40}",
            "Action=Mark",
            "",
        ]
    return ("\r\n".join(lines)).encode("ascii")


def settings_file():
    rng = Lcg(0x53544753)
    out = bytearray(b"QSTG" + struct.pack("<HH", 2, 96))
    for record in range(96):
        out += struct.pack("<HhI", record, -record * 5, record * 0x01010101 & 0xFFFFFFFF)
        out += rng.bytes(16)
    return bytes(out)


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: make-sample-data.py OUTPUT_FOLDER")
    folder = Path(sys.argv[1])
    folder.mkdir(parents=True, exist_ok=True)
    for name, content in [
        ("QVX.hlp", help_file()),
        ("QVX.cnt", contents_file()),
        ("default.rex", rules_file()),
        ("default.stg", settings_file()),
    ]:
        (folder / name).write_bytes(content)


if __name__ == "__main__":
    main()
