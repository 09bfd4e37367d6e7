#!/usr/bin/env python3
"""Native-messaging frames: a 4-byte little-endian length, then UTF-8 JSON.

  frames.py encode < requests.jsonl > requests.bin   one request per line
  frames.py decode < replies.bin                     prints each message
"""
import json
import struct
import sys


def encode(lines, out):
    for line in lines:
        line = line.strip()
        if line and not line.startswith("#"):
            body = line.encode("utf-8")
            out.write(struct.pack("<I", len(body)) + body)


def decode(data, out):
    at = 0
    while at + 4 <= len(data):
        (length,) = struct.unpack_from("<I", data, at)
        body = data[at + 4 : at + 4 + length]
        at += 4 + length
        try:
            text = json.dumps(json.loads(body), ensure_ascii=False)
        except ValueError:
            text = repr(body)
        out.write(f"[{length:5} bytes] {text}\n")
    if at != len(data):
        out.write(f"[{len(data) - at} trailing bytes]\n")


if __name__ == "__main__":
    if sys.argv[1:] == ["encode"]:
        encode(sys.stdin, sys.stdout.buffer)
    elif sys.argv[1:] == ["decode"]:
        decode(sys.stdin.buffer.read(), sys.stdout)
    else:
        sys.exit(__doc__)
