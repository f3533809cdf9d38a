#!/usr/bin/python3
"""./run.sh --demo: a local FTP server with a demo tree, and the program with a config of its own.

Usage: demo.py PROGRAM [ARGUMENTS...]

The server listens on 127.0.0.1 on a free port, lets anyone read and write, and stops when the
program ends, however it ends. The program runs as a portable copy in a temporary folder holding
one saved site, so the user's own servers.sit is never touched. scripts/screenshots.sh runs its
scripted session through here too, as PROGRAM.
"""
import ctypes
import logging
import os
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import threading
import warnings

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.log import config_logging
from pyftpdlib.servers import FTPServer

BIG_FILE_BYTES = 200 * 1024 * 1024
# The server sends at most this much a second, so the 200 MB download takes long enough to watch.
SEND_LIMIT = 25_000_000
PR_SET_PDEATHSIG = 1


def short_string(text):
    data = text.encode("utf-8")[:255]
    return bytes([len(data)]) + data + bytes(255 - len(data))


def site_file(host, port, user, password, folder):
    """servers.sit: panel sizes, the proxy block, the count, then the fixed site records.

    A site record has no name of its own: its host is what the site box lists."""
    proxy = short_string("") * 3 + struct.pack("<i", 0)
    site = (short_string(host) + short_string(user) + short_string(password)
            + short_string(folder) + struct.pack("<iB3xi", port, 1, 0))
    return struct.pack("<ii", 0, 0) + proxy + struct.pack("<i", 1) + site


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


# name, size, ImageMagick drawing: a small harbour scene each, flat colours so screenshots stay small.
PICTURES = [
    ("harbour.jpg", "640x400", ["gradient:#7fb8e6-#dff1ff", "-fill", "#1f5f8b", "-draw",
                                "rectangle 0,260 640,400", "-fill", "#f4f4f4", "-draw",
                                "polygon 180,250 460,250 420,300 220,300", "-fill", "#c0392b",
                                "-draw", "rectangle 300,200 340,250", "-fill", "#f7d358",
                                "-draw", "circle 540,80 570,80"]),
    ("lighthouse.gif", "160x240", ["gradient:#ffb347-#2c3e73", "-fill", "#fafafa", "-draw",
                                   "polygon 60,220 100,220 90,60 70,60", "-fill", "#c0392b",
                                   "-draw", "rectangle 66,40 94,60"]),
    ("buoy.bmp", "96x96", ["xc:#1f5f8b", "-fill", "#e74c3c", "-draw", "circle 48,48 48,18",
                           "-fill", "white", "-draw", "rectangle 20,44 76,52"]),
    ("flag.ico", "32x32", ["xc:#2e86c1", "-fill", "white", "-draw", "rectangle 0,12 32,20"]),
]


def make_pictures(folder):
    convert = shutil.which("convert")
    if convert is None:
        write(os.path.join(folder, "NO-PICTURES.txt"), "ImageMagick's convert was not found.\n")
        return
    for name, size, drawing in PICTURES:
        subprocess.run([convert, "-size", size] + drawing + [os.path.join(folder, name)], check=True)


def make_tree(root):
    for folder in ("Documents/Notes", "Pictures", "Downloads/Big", "Uploads"):
        os.makedirs(os.path.join(root, folder))
    write(os.path.join(root, "README.txt"),
          "This is the Ferrystar demo server. Everything here was made at start and goes away "
          "when the program ends.\n")
    write(os.path.join(root, "Documents", "Timetable.txt"), "Dep 08:15  Arr 09:40\nDep 12:30  Arr 13:55\n")
    write(os.path.join(root, "Documents", "Notes", "Packing list.txt"), "rope\nlantern\nmap\n")
    write(os.path.join(root, "Documents", "Notes", "Fährplan Überfahrt.txt"), "Nächste Fähre: 10:00\n")
    write(os.path.join(root, "Uploads", "Drop files here.txt"), "The server accepts uploads.\n")
    make_pictures(os.path.join(root, "Pictures"))
    # Sparse: made at once, yet a transfer long enough to watch.
    with open(os.path.join(root, "Downloads", "Big", "ferry-200MB.bin"), "wb") as f:
        f.truncate(BIG_FILE_BYTES)


def start_server(root):
    config_logging(level=logging.WARNING)  # the terminal shows problems, not every command
    warnings.filterwarnings("ignore", "write permissions assigned to anonymous user")
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root, perm="elradfmwMT")
    dtp = ThrottledDTPHandler
    dtp.read_limit = SEND_LIMIT
    dtp.write_limit = SEND_LIMIT
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.dtp_handler = dtp
    handler.masquerade_address = "127.0.0.1"
    # Listening from here on: connections wait in the backlog until the server serves.
    return FTPServer(("127.0.0.1", 0), handler)


def prepare_program(program, app, port):
    """A portable copy in the demo's own folder: a servers.sit beside the program wins over every
    other place, so the user's own file is never read or written."""
    os.makedirs(app, mode=0o700)
    shutil.copy2(program, app)
    # The help page and its pictures, when the program has them beside it (a build folder).
    here = os.path.dirname(program)
    if os.path.exists(os.path.join(here, "help.html")):
        shutil.copy2(os.path.join(here, "help.html"), app)
    if os.path.isdir(os.path.join(here, "shots")):
        shutil.copytree(os.path.join(here, "shots"), os.path.join(app, "shots"))
    with open(os.path.join(app, "servers.sit"), "wb") as f:
        f.write(site_file("127.0.0.1", port, "anonymous", "demo@", "/"))
    return os.path.join(app, os.path.basename(program))


def die_with_parent(parent):
    """In the program's process: if the demo itself is killed, the program goes too. A demo
    killed before the request was made has already left: the program then does not start."""
    ctypes.CDLL(None, use_errno=True).prctl(PR_SET_PDEATHSIG, int(signal.SIGTERM))
    if os.getppid() != parent:
        os._exit(1)


def run_program(command, env, server):
    """Runs the program to its end, the server serving meanwhile; returns the exit status."""
    # The handlers come first: a stop that arrived while the program was starting would end the
    # demo without its tidying up. Such a stop is passed on once the program runs.
    child = None
    early = []

    def forward(signum, _frame):
        if child is None:
            early.append(signum)
        else:
            child.send_signal(signum)

    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, forward)
    # Started before the server's thread: forking a process that runs threads is unsafe.
    parent = os.getpid()
    child = subprocess.Popen(command, env=env, preexec_fn=lambda: die_with_parent(parent))
    threading.Thread(target=server.serve_forever, kwargs={"handle_exit": False}, daemon=True).start()
    for signum in early:
        child.send_signal(signum)
    while True:
        try:
            code = child.wait()
            return 128 - code if code < 0 else code
        except KeyboardInterrupt:  # Ctrl+C reached the program as well; wait for it to end
            continue


def main():
    if len(sys.argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    program = os.path.abspath(sys.argv[1])
    work = tempfile.mkdtemp(prefix="ferrystar-demo-")
    server = None
    try:
        root = os.path.join(work, "server")
        make_tree(root)
        server = start_server(root)
        port = server.address[1]
        command = [prepare_program(program, os.path.join(work, "app"), port)] + sys.argv[2:]
        env = dict(os.environ)
        env["XDG_CONFIG_HOME"] = os.path.join(work, "config")
        env["XDG_STATE_HOME"] = os.path.join(work, "state")
        print(f"Demo server on 127.0.0.1:{port} (anonymous). Its saved site is listed as "
              f"\"127.0.0.1\": pick it in the Server box to connect.", flush=True)
        return run_program(command, env, server)
    finally:
        if server is not None:
            server.close_all()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
