"""Copies a file with one byte inverted in its middle: the packed app of the
test build whose archive must be reported as damaged."""
import sys

data = bytearray(open(sys.argv[1], "rb").read())
data[len(data) // 2] ^= 0xFF
open(sys.argv[2], "wb").write(bytes(data))
