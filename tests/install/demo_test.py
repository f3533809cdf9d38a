#!/usr/bin/python3
"""The demo of ./run.sh --demo: its server serves the demo tree over FTP while the program runs,
and nothing of it is left when the program ends, is killed, or the demo itself is stopped.
A copy of sleep stands in for the program. Usage: demo_test.py. Exit 77: skipped."""
import ftplib
import os
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
DEMO = os.path.join(HERE, "..", "..", "scripts", "demo.py")
EXPECTED = ["README.txt", "Documents/Timetable.txt", "Documents/Notes/Packing list.txt",
            "Documents/Notes/Fährplan Überfahrt.txt", "Pictures/harbour.jpg", "Pictures/lighthouse.gif",
            "Pictures/buoy.bmp", "Pictures/flag.ico", "Uploads/Drop files here.txt"]
# The first bytes of each picture kind.
MAGIC = {".jpg": b"\xff\xd8", ".gif": b"GIF8", ".bmp": b"BM", ".ico": b"\0\0\1\0"}


def fail(text):
    print("FAIL:", text)
    sys.exit(1)


def start(program, seconds):
    demo = subprocess.Popen([sys.executable, DEMO, program, str(seconds)], stdout=subprocess.PIPE,
                            stderr=subprocess.STDOUT, text=True)
    line = demo.stdout.readline()
    if "127.0.0.1:" not in line:
        fail("the demo did not say where its server listens: " + line + demo.stdout.read())
    port = int(line.split("127.0.0.1:")[1].split()[0])
    for _ in range(100):
        children = subprocess.run(["pgrep", "-P", str(demo.pid)], capture_output=True, text=True).stdout.split()
        if children:
            return demo, port, int(children[0])
        time.sleep(0.05)
    fail("the program was not started")


def listening(port):
    with socket.socket() as s:
        return s.connect_ex(("127.0.0.1", port)) == 0


def alive(pid):
    try:
        with open(f"/proc/{pid}/stat") as f:
            return f.read().split(") ")[1][0] != "Z"
    except FileNotFoundError:
        return False


def check_tree(port):
    ftp = ftplib.FTP()
    ftp.encoding = "utf-8"
    ftp.connect("127.0.0.1", port, timeout=10)
    ftp.login()
    for path in EXPECTED:
        data = bytearray()
        ftp.retrbinary("RETR " + path, data.extend)
        magic = MAGIC.get(os.path.splitext(path)[1], b"")
        if not data or not data.startswith(magic):
            fail(f"{path}: {len(data)} bytes, starting {bytes(data[:4])!r}")
    ftp.voidcmd("TYPE I")
    if ftp.size("Downloads/Big/ferry-200MB.bin") != 200 * 1024 * 1024:
        fail("the big file is not 200 MB")
    ftp.storbinary("STOR Uploads/new.txt", open(__file__, "rb"))
    ftp.quit()


def ends_clean(demo, port, program, how):
    try:
        demo.wait(timeout=10)
    except subprocess.TimeoutExpired:
        demo.kill()
        fail(how + ": the demo did not end")
    for _ in range(100):
        if not alive(program):
            break
        time.sleep(0.05)
    if alive(program) or listening(port):
        fail(f"{how}: left behind: program {alive(program)}, server {listening(port)}")
    print(f"ok: {how}: demo status {demo.returncode}, program and server gone")


def main():
    if shutil.which("convert") is None:
        print("SKIP: ImageMagick's convert is missing (scripts/install-deps.sh test)")
        return 77
    try:
        import pyftpdlib  # noqa: F401
    except ImportError:
        print("SKIP: python3-pyftpdlib is missing (scripts/install-deps.sh test)")
        return 77
    work = tempfile.mkdtemp()
    program = os.path.join(work, "program")
    shutil.copy(shutil.which("sleep"), program)
    left = set(os.listdir(tempfile.gettempdir()))

    demo, port, pid = start(program, 60)
    check_tree(port)
    os.kill(pid, signal.SIGKILL)
    ends_clean(demo, port, pid, "program killed")

    demo, port, pid = start(program, 1)
    ends_clean(demo, port, pid, "program ended")

    demo, port, pid = start(program, 60)
    demo.send_signal(signal.SIGTERM)
    ends_clean(demo, port, pid, "demo stopped")
    if any(n.startswith("ferrystar-demo-") for n in set(os.listdir(tempfile.gettempdir())) - left):
        fail("a demo folder was left behind")

    demo, port, pid = start(program, 60)
    demo.kill()  # the demo cannot tidy up, but the program must not outlive it
    ends_clean(demo, port, pid, "demo killed")
    for name in set(os.listdir(tempfile.gettempdir())) - left:
        if name.startswith("ferrystar-demo-"):
            shutil.rmtree(os.path.join(tempfile.gettempdir(), name), ignore_errors=True)
    shutil.rmtree(work)
    print("PASS")
    return 0


if __name__ == "__main__":
    sys.exit(main())
