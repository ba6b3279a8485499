#!/usr/bin/env python3
"""A minimal sequential POP3 client as a yardstick: log on with USER/PASS,
STAT, then TOP n 2 for every message in turn, reading From, Subject and
Date with the standard library, then QUIT. Prints the number of messages.

usage: poplib_baseline.py HOST PORT USER PASSWORD
"""
import email.header
import email.parser
import email.utils
import poplib
import sys


def text(value):
    if value is None:
        return ""
    return str(email.header.make_header(email.header.decode_header(value)))


def main():
    host, port, user, password = sys.argv[1], int(sys.argv[2]), sys.argv[3], sys.argv[4]
    parser = email.parser.BytesHeaderParser()
    pop = poplib.POP3(host, port, timeout=60)
    pop.user(user)
    pop.pass_(password)
    count, _size = pop.stat()
    rows = []
    for n in range(1, count + 1):
        _status, lines, _octets = pop.top(n, 2)
        headers = parser.parsebytes(b"\r\n".join(lines))
        date = headers["Date"]
        when = email.utils.parsedate_to_datetime(date) if date else None
        rows.append((text(headers["From"]), text(headers["Subject"]), when))
    pop.quit()
    print(len(rows))


if __name__ == "__main__":
    main()
