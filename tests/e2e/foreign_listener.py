#!/usr/bin/env python3
"""Another user on the machine who gets to the shared temporary folder first: makes a
world-writable listening socket and lock for every name given, keeps whatever reaches them in
RECORD, and answers as an instance would.
    foreign_listener.py RECORD SOCKET [SOCKET...]"""
import os
import socket
import sys

record, paths = sys.argv[1], sys.argv[2:]
listeners = []
for path in paths:
    folder = os.path.dirname(path)
    if not os.path.isdir(folder):
        os.makedirs(folder)
        os.chmod(folder, 0o777)
    with open(path + ".lock", "w"):
        pass
    os.chmod(path + ".lock", 0o666)
    listener = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
    listener.bind(path)
    os.chmod(path, 0o777)
    listener.listen(16)
    listener.setblocking(False)
    listeners.append(listener)
print("ready", flush=True)
import select
while True:
    ready, _, _ = select.select(listeners, [], [])
    for listener in ready:
        connection, _ = listener.accept()
        connection.settimeout(2)
        try:
            data = connection.recv(65536)
        except OSError:
            data = b""
        with open(record, "ab") as out:
            out.write(data)
        connection.sendall(b"{\"status\":0,\"message\":\"\",\"output\":11}\nsuplantado\n")
        connection.close()
