#!/usr/bin/env python3
"""Connects to an instrument, identifies it and reads a register: the steps of
quickstart.c, through the shared library and ctypes.

Usage: quickstart.py [--library PATH] [ip-address]
  ip-address  the instrument's dotted IPv4 address (default 127.0.0.1)
  --library   the shared library to load (default libtessok.so, found the way
              the dynamic loader finds libraries: LD_LIBRARY_PATH, then the
              system's library folders); when it cannot be loaded the
              example says so and how to name it, and exits with status 2
"""
import argparse
import ctypes
import sys

INDEX = 0  # the instrument object (0 to 31) this example drives

# The functions this example calls, with the result and argument types that
# include/tessok/tessok.h declares. Without them ctypes would pass and return
# C ints: the doubles would come back as garbage.
PROTOTYPES = {
    "APIGetAPIRev": (ctypes.c_double, []),
    "APIConnect": (ctypes.c_int, [ctypes.c_uint8, ctypes.c_char_p]),
    "APIDisconnect": (ctypes.c_uint8, [ctypes.c_uint8]),
    "APIReadBoardID": (ctypes.c_int, [ctypes.c_uint8]),
    "APIReadFirmwareRevision": (ctypes.c_double, [ctypes.c_uint8]),
    "APIAccessBoardRegister": (
        ctypes.c_uint8,
        [ctypes.c_uint8, ctypes.c_uint8, ctypes.c_uint16, ctypes.c_uint16, ctypes.POINTER(ctypes.c_uint16)],
    ),
}


def load(path):
    lib = ctypes.CDLL(path)
    for name, (restype, argtypes) in PROTOTYPES.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


def main():
    parser = argparse.ArgumentParser(description="Identify an instrument and read its register 20.")
    parser.add_argument("ip", nargs="?", default="127.0.0.1", help="dotted IPv4 address of the instrument")
    parser.add_argument("--library", default="libtessok.so", help="path of libtessok.so")
    args = parser.parse_args()

    try:
        lib = load(args.library)
    except OSError as error:
        # The loader's own message names the file and why (not found, wrong
        # architecture, a missing dependency).
        print(
            f"cannot load the tessok library: {error}\n"
            "name it with --library <path>, e.g. --library build/libtessok.so,\n"
            "or add the folder that holds libtessok.so to LD_LIBRARY_PATH",
            file=sys.stderr,
        )
        return 2
    print(f"tessok library revision {lib.APIGetAPIRev():.0f}")
    if lib.APIConnect(INDEX, args.ip.encode("ascii")) != 1:
        print(f"cannot connect to {args.ip}", file=sys.stderr)
        return 1
    try:
        print(f"board model {lib.APIReadBoardID(INDEX)}")
        print(f"firmware revision {lib.APIReadFirmwareRevision(INDEX):.1f}")
        value = ctypes.c_uint16(0)
        # write 0: read register 20 of bank 0 into value
        if lib.APIAccessBoardRegister(INDEX, 0, 0, 20, ctypes.byref(value)) != 1:
            print("register read failed", file=sys.stderr)
            return 1
        print(f"register 20 of bank 0 reads {value.value}")
    finally:
        lib.APIDisconnect(INDEX)
    return 0


if __name__ == "__main__":
    sys.exit(main())
