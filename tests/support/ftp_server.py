#!/usr/bin/python3
"""A loopback FTP server for the transfer tests, on Debian's pyftpdlib.

Serves ROOT read-only on 127.0.0.1:PORT to anonymous users, or with --user/--password to that
user alone. Every command the server receives is appended to --log (passwords masked), so a test
can tell what a client asked for. --rate slows data connections to that many bytes a second.
"""
import argparse

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--root", required=True)
    parser.add_argument("--user")
    parser.add_argument("--password", default="")
    parser.add_argument("--log")
    parser.add_argument("--rate", type=int, default=0)
    args = parser.parse_args()

    authorizer = DummyAuthorizer()
    if args.user:
        authorizer.add_user(args.user, args.password, args.root, perm="elr")
    else:
        authorizer.add_anonymous(args.root, perm="elr")

    log = open(args.log, "a", buffering=1) if args.log else None

    class Handler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            if log:
                log.write(("PASS ******" if cmd == "PASS" else line) + "\n")
            super().pre_process_command(line, cmd, arg)

    Handler.authorizer = authorizer
    Handler.auth_failed_timeout = 0  # a refused login is answered at once, not after 3 s
    if args.rate:
        ThrottledDTPHandler.write_limit = args.rate
        Handler.dtp_handler = ThrottledDTPHandler
    server = FTPServer(("127.0.0.1", args.port), Handler)
    server.serve_forever()


if __name__ == "__main__":
    main()
