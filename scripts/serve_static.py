#!/usr/bin/env python3
"""Serves a folder over HTTP on 127.0.0.1 at a free port and writes the port to a file.

Usage: serve_static.py FOLDER PORT_FILE
The port file appears only once the server is listening; the server runs until it is killed.
"""
import functools
import http.server
import os
import sys


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    def log_message(self, format, *args):
        pass


def main():
    folder, port_file = sys.argv[1], sys.argv[2]
    handler = functools.partial(QuietHandler, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    temp = port_file + ".tmp"
    with open(temp, "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(temp, port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
