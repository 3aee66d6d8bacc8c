#!/usr/bin/env python3
"""Another program holding a serial port, as ModemManager or gpsd hold theirs.

    port_holder.py --link PATH

Opens a pseudo-terminal, points the symlink PATH at its slave side (Wine's port is set to that
link) and keeps the slave open in exclusive mode (TIOCEXCL), as those programs open a device:
from then on the kernel refuses every other open of the device with EBUSY, unless the opener
has CAP_SYS_ADMIN (root has it; the harness starts Wine's server without it, as a user runs
Wine). Nothing is ever written; what arrives is read and dropped. Ends on SIGTERM and removes
the link.
"""

import argparse
import fcntl
import os
import select
import signal
import sys
import termios
import tty


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--link", required=True, help="symlink to create to the pty slave")
    args = parser.parse_args()

    master, slave = os.openpty()
    tty.setraw(slave)
    fcntl.ioctl(slave, termios.TIOCEXCL)
    name = os.ttyname(slave)
    tmp = args.link + ".tmp"
    try:
        os.unlink(tmp)
    except FileNotFoundError:
        pass
    os.symlink(name, tmp)
    os.replace(tmp, args.link)
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    print(f"port_holder: {args.link} -> {name}, held exclusively", flush=True)
    try:
        while True:
            ready, _, _ = select.select([master], [], [], 1.0)
            if ready:
                try:
                    os.read(master, 4096)
                except OSError:
                    pass
    finally:
        try:
            if os.readlink(args.link) == name:
                os.unlink(args.link)
        except OSError:
            pass


if __name__ == "__main__":
    main()
