#!/usr/bin/python3
"""A second FTP peer for the tests: one user, one root folder, everything on 127.0.0.1."""
import argparse
import logging

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--passive-first", type=int, required=True)
    parser.add_argument("--passive-last", type=int, required=True)
    parser.add_argument("--certfile", help="TLS required on logins and data connections")
    parser.add_argument("--keyfile")
    args = parser.parse_args()

    logging.basicConfig(level=logging.WARNING)
    authorizer = DummyAuthorizer()
    authorizer.add_user(args.user, args.password, args.root, perm="elradfmwMT")
    handler = FTPHandler
    if args.certfile:
        from pyftpdlib.handlers import TLS_FTPHandler

        handler = TLS_FTPHandler
        handler.certfile = args.certfile
        handler.keyfile = args.keyfile
        handler.tls_control_required = True
        handler.tls_data_required = True
    handler.authorizer = authorizer
    handler.passive_ports = range(args.passive_first, args.passive_last + 1)
    handler.masquerade_address = "127.0.0.1"
    server = FTPServer(("127.0.0.1", args.port), handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
