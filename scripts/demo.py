#!/usr/bin/python3
"""./run.sh --demo: a local FTP server with a demo tree, and the program with a config of its own.

The server listens on 127.0.0.1 on a free port, lets anyone read and write, and stops when the
program ends. The program runs as a portable copy in a temporary folder holding one saved site, so the
user's own servers.sit is never touched.
"""
import os
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

BIG_FILE_BYTES = 200 * 1024 * 1024


def short_string(text):
    data = text.encode("utf-8")[:255]
    return bytes([len(data)]) + data + bytes(255 - len(data))


def site_file(name_host, port, user, password, folder):
    """servers.sit: panel sizes, the proxy block, the count, then the fixed site records."""
    proxy = short_string("") * 3 + struct.pack("<i", 0)
    site = (short_string(name_host) + short_string(user) + short_string(password)
            + short_string(folder) + struct.pack("<iB3xi", port, 1, 0))
    return struct.pack("<ii", 0, 0) + proxy + struct.pack("<i", 1) + site


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def make_pictures(folder):
    convert = shutil.which("convert")
    if convert is None:
        write(os.path.join(folder, "NO-PICTURES.txt"), "ImageMagick's convert was not found.\n")
        return
    pictures = [("harbour.jpg", "plasma:steelblue-white", "200x150"),
                ("lighthouse.gif", "gradient:orange-navy", "120x160"),
                ("buoy.bmp", "radial-gradient:yellow-red", "96x96"),
                ("flag.ico", "pattern:checkerboard", "32x32")]
    for name, source, size in pictures:
        subprocess.run([convert, "-size", size, source, os.path.join(folder, name)], check=True)


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


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def start_server(root):
    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.masquerade_address = "127.0.0.1"
    server = FTPServer(("127.0.0.1", free_port()), handler)
    thread = threading.Thread(target=server.serve_forever, kwargs={"handle_exit": False}, daemon=True)
    thread.start()
    return server


def main():
    program = sys.argv[1]
    work = tempfile.mkdtemp(prefix="ferrystar-demo-")
    try:
        root = os.path.join(work, "server")
        make_tree(root)
        server = start_server(root)
        port = server.address[1]
        # A portable copy in the demo's own folder: a servers.sit beside the program wins over
        # every other place, so the user's own file is never read or written.
        app = os.path.join(work, "app")
        os.makedirs(app, mode=0o700)
        shutil.copy2(program, app)
        for page in ("help.html", "demo-connected.png"):
            path = os.path.join(os.path.dirname(program), page)
            if os.path.exists(path):
                shutil.copy2(path, app)
        with open(os.path.join(app, "servers.sit"), "wb") as f:
            f.write(site_file("127.0.0.1", port, "anonymous", "demo@", "/"))
        env = dict(os.environ)
        env["XDG_CONFIG_HOME"] = os.path.join(work, "config")
        env["XDG_STATE_HOME"] = os.path.join(work, "state")
        program = os.path.join(app, os.path.basename(program))
        print(f"Demo server on 127.0.0.1:{port}; choose \"127.0.0.1\" in the site box and press Connect.")
        try:
            code = subprocess.run([program], env=env, check=False).returncode
        except KeyboardInterrupt:
            code = 130
        server.close_all()
        return code
    finally:
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
