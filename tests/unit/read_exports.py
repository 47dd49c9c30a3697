#!/usr/bin/env python3
"""Reads an export with Python's own csv, json or mailbox module and prints
what it found, one value a line: "INDEX NAME VALUE" with VALUE as JSON (ASCII
escapes), so that a test compares it with the values it expects. Any file the
module cannot read, or that breaks the format's rules, ends the script with an
error and status 1.

Usage: read_exports.py csv|jsonl|mbox FILE
"""
import csv
import email.header
import email.utils
import json
import mailbox
import re
import sys


def show(index, name, value):
    print(index, name, json.dumps(value, ensure_ascii=True))


def fail(message):
    sys.exit("read_exports: " + message)


def read_csv(path):
    data = open(path, "rb").read()
    if data.startswith(b"\xef\xbb\xbf"):
        fail("byte order mark")
    if not data.endswith(b"\r\n"):
        fail("last row not ended by CR LF")
    with open(path, newline="", encoding="utf-8", errors="strict") as f:
        rows = list(csv.reader(f, strict=True))
    header = rows[0]
    show(0, "header", header)
    for number, row in enumerate(rows[1:], 1):
        if len(row) != len(header):
            fail("row %d has %d fields" % (number, len(row)))
        for name, value in zip(header, row):
            show(number, name, value)


def read_jsonl(path):
    data = open(path, "rb").read()
    text = data.decode("utf-8", errors="strict")
    if not text.endswith("\n"):
        fail("last line not ended")
    for number, line in enumerate(text[:-1].split("\n")):
        record = json.loads(line)
        if not isinstance(record, dict):
            fail("line %d is no object" % number)
        for name, value in record.items():
            if name == "headers":
                for header, pair in value.items():
                    show(number, "headers." + header, pair)
            else:
                show(number, name, value)


def decoded(value):
    return str(email.header.make_header(email.header.decode_header(value)))


def read_mbox(path):
    data = open(path, "rb").read()
    for number, line in enumerate(data.split(b"\n")):
        if b"\r" in line:
            fail("CR in line %d" % number)
    box = mailbox.mbox(path, create=False)
    for number, message in enumerate(box, 1):
        show(number, "from_line", message.get_from())
        for name in ("From", "Subject", "Date", "Message-ID", "Newsgroups", "Organization",
                     "Keywords", "Summary", "Sender", "Reply-To", "X-Korvex-Cut"):
            if message[name] is not None:
                header = message[name]
                if not isinstance(header, str) or any(ord(c) > 127 for c in header):
                    fail("8-bit header %s" % name)
                show(number, name, decoded(header))
                if name in ("From", "Sender", "Reply-To"):
                    # The address a mail program takes from the raw field.
                    show(number, name + ".address", email.utils.parseaddr(header)[1])
        show(number, "content_type", message.get_content_type())
        show(number, "charset", message.get_content_charset())
        body = message.get_payload(decode=True).decode("utf-8", errors="strict")
        # mboxrd: one ">" comes off each quoted From line.
        body = re.sub(r"(?m)^>(>*From )", r"\1", body)
        show(number, "body", body)


readers = {"csv": read_csv, "jsonl": read_jsonl, "mbox": read_mbox}
if len(sys.argv) != 3 or sys.argv[1] not in readers:
    sys.exit(__doc__)
readers[sys.argv[1]](sys.argv[2])
