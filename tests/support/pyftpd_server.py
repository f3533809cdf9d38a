#!/usr/bin/python3
"""A second FTP peer for the tests: one user, one root folder, on 127.0.0.1 or another loopback address."""
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--passive-first", type=int, required=True)
    parser.add_argument("--passive-last", type=int, required=True)
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    handler = FTPHandler
    handler.authorizer = authorizer
    handler.passive_ports = range(args.passive_first, args.passive_last + 1)
    if ":" not in args.host:
        handler.masquerade_address = args.host
    server = FTPServer((args.host, args.port), handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
