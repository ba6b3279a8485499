#!/usr/bin/env python3
"""Writes the small starting corpora of the fuzz programs into this folder
(one sub-folder per program). Run again after changing a seed."""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def write(target, name, data):
    folder = os.path.join(HERE, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


# Header blocks as servers send them.
write("header_block", "plain", b"From: a@x.org\r\nSubject: Hello\r\nDate: Sat, 4 Jan 2003 10:00:00 +0100\r\n\r\nBody\r\n")
write("header_block", "folded", b"Subject: one\r\n two\r\n\tthree\r\nFrom: \"B\" <b@x.org>\r\n\r\n")
write("header_block", "encoded", b"From: =?UTF-8?B?w6lsw6g=?= <e@x.org>\r\nSubject: =?iso-8859-1?Q?caf=E9_?= =?iso-8859-1?Q?noir?=\r\n\r\n")
write("header_block", "ansi", b"Subject: \xe9t\xe9\r\nfrom: x\r\nDATE: y\r\n\r\n")

# Date header values.
for i, value in enumerate([
        b"Mon, 4 Jan 2003 14:15:00 -0500", b"4 Jan 2003 14:15 +0000 (UTC)",
        b"Sun, 30 Mar 2025 01:59:59 +0000", b"04 Jan 03 10:00:00 GMT",
        b"Wed, 4 Jan 2003 1415 EST", b"4 July 1999 101500 A", b"31 Dec 9999 23:59:59 -9959"]):
    write("mail_date", "date%d" % i, value)

# Reply streams; the control values libFuzzer's data provider takes from the
# end: kinds (bit n: reply n is multi-line), largest arrival, cut seed, and
# whether the stream is also sent endlessly.
def reader_seed(name, stream, kinds, largest=7, endless=False):
    tail = (struct.pack("<?Q", endless, 0x9E3779B97F4A7C15)
            + (largest - 1).to_bytes(3, "little") + struct.pack("<I", kinds))
    write("session_reader", name, stream + tail)


reader_seed("logon", b"+OK ready <1.2@x>\r\n+OK\r\n+OK\r\n+OK 2 320\r\n", 0)
reader_seed("top", b"+OK 2 320\r\n+OK\r\nFrom: a\r\nSubject: s\r\n\r\nbody\r\n..dot\r\n.\r\n+OK bye\r\n", 0b010)
reader_seed("err", b"-ERR no\r\n-ERR no such message\r\n+OK\r\n", 0b011)
reader_seed("long", b"+OK\r\nX: \xff\x10\x00a\r\n\r\n.\r\n", 0b1, largest=4096)
reader_seed("garbage", b"+OK\r\n* junk\r\n", 0, endless=True)

# Settings records: the template and one with every field set.
template = bytearray(614)
struct.pack_into("<q", template, 16, 180000 * 10000)
for i, w in enumerate([1440, 1440, 2000, 3300]):
    struct.pack_into("<f", template, 24 + 4 * i, w)
for i in range(3):
    struct.pack_into("<f", template, 40 + 4 * i, 1440)
struct.pack_into("<i", template, 52, 30)
template[64:112] = b" " * 48
template[116:372] = b" " * 256
template[390:518] = b"MS Sans Serif".ljust(128)
struct.pack_into("<f", template, 520, 8)
struct.pack_into("<i", template, 524, 1)
struct.pack_into("<ff", template, 530, 2200, 1440)
struct.pack_into("<f", template, 538, 1440)
template[544:608] = b" " * 64
write("settings_record", "template", bytes(template) + b"\x07\x00\x80\x07\x00")
odd = bytearray(template)
struct.pack_into("<ffff", odd, 0, -1.0, float("nan"), float("inf"), 5265)
struct.pack_into("<q", odd, 16, 2**62)
struct.pack_into("<i", odd, 52, 0)
struct.pack_into("<f", odd, 520, 40)
struct.pack_into("<i", odd, 524, -3)
write("settings_record", "odd", bytes(odd) + b"\x03")

# Users files: one whole record, one and a half, a cut record.
record = (b"Home".ljust(64) + b"bob".ljust(64) + b"x" * 64 + b"pop.x.org".ljust(256)
          + struct.pack("<ih", 110, 1))
write("account_record", "one", record)
write("account_record", "one_and_half", record + record[:227])
write("account_record", "cut", record[:300])

# Header cache fields after the magic and version (the program adds the
# checksum when the first byte is not 0): two mailboxes, one empty.
def field(data):
    return struct.pack("<I", len(data)) + data


cache = (struct.pack("<I", 2)
         + field(b"pop.x.org") + struct.pack("<i", 995) + field(b"bob") + struct.pack("<I", 2)
         + field(b"1") + field(b"From: a@x.org\r\nSubject: Hi\r\n\r\n")
         + field(b"2") + field(b"Subject: \xe9t\xe9\r\n\r\n")
         + field(b"m\xc3\xbcnchen") + struct.pack("<i", 110) + field(b"") + struct.pack("<I", 0))
write("header_cache_file", "two_mailboxes", b"\x01" + cache)
write("header_cache_file", "empty", b"\x01" + struct.pack("<I", 0))
