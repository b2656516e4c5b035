#!/usr/bin/python3
"""Local servers for the network tests.

  netservers.py start STATE_DIR   start an HTTP server, an anonymous FTP server,
                                  an FTP server with a login and an HTTP server
                                  without Content-Length (plainhttp.py), all serving
                                  STATE_DIR/root, fully detached; write
                                  STATE_DIR/state.txt (ports, PIDs, root)
  netservers.py stop STATE_DIR    stop the servers named in the state file

The servers run in sessions of their own with no inherited descriptors, so
that nothing waiting for this script's output waits for them.
"""
import os
import signal
import socket
import subprocess
import sys
import time

PYTHON = "/usr/bin/python3"
HERE = os.path.dirname(os.path.abspath(__file__))
FTP_USER = "tarnuser"
FTP_PASSWORD = "wick pass"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def alive(pid):
    try:
        os.kill(pid, 0)
        return True
    except OSError:
        return False


def listening(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.5):
            return True
    except OSError:
        return False


def stop_pids(pids):
    for pid in pids:
        try:
            os.killpg(pid, signal.SIGTERM)
        except OSError:
            pass
    deadline = time.time() + 5
    while time.time() < deadline and any(alive(p) for p in pids):
        time.sleep(0.1)
    for pid in pids:
        if alive(pid):
            try:
                os.killpg(pid, signal.SIGKILL)
            except OSError:
                pass


def read_state(state_dir):
    state = {}
    try:
        with open(os.path.join(state_dir, "state.txt")) as f:
            for line in f:
                key, _, value = line.rstrip("\n").partition("=")
                state[key] = value
    except OSError:
        pass
    return state


def start(state_dir):
    stop(state_dir)  # servers left over from an interrupted run
    root = os.path.join(state_dir, "root")
    os.makedirs(root, exist_ok=True)
    servers = {
        "HTTP": ["-m", "http.server", "--bind", "127.0.0.1", "{port}", "--directory", root],
        "FTP": ["-m", "pyftpdlib", "-i", "127.0.0.1", "-p", "{port}", "-d", root],
        "FTPLOGIN": ["-m", "pyftpdlib", "-i", "127.0.0.1", "-p", "{port}", "-d", root,
                     "-u", FTP_USER, "-P", FTP_PASSWORD],
        "PLAINHTTP": [os.path.join(HERE, "plainhttp.py"), "{port}", root],
    }
    ports, pids = {}, {}
    for name, args in servers.items():
        port = free_port()
        log = open(os.path.join(state_dir, name.lower() + ".log"), "wb")
        proc = subprocess.Popen([PYTHON] + [a.replace("{port}", str(port)) for a in args],
                                stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                                close_fds=True, start_new_session=True, cwd=state_dir)
        log.close()
        ports[name], pids[name] = port, proc.pid
    deadline = time.time() + 15
    while time.time() < deadline and not all(listening(p) for p in ports.values()):
        if not all(alive(p) for p in pids.values()):
            break
        time.sleep(0.1)
    ready = all(listening(p) for p in ports.values())
    if not ready:
        stop_pids(list(pids.values()))
        print("the test servers did not start; see the logs in " + state_dir)
        return 1
    with open(os.path.join(state_dir, "state.txt"), "w") as f:
        for name in servers:
            f.write("%s_PORT=%d\n" % (name, ports[name]))
            f.write("%s_PID=%d\n" % (name, pids[name]))
        f.write("ROOT=%s\n" % windows_path(root))
        f.write("FTP_USER=%s\nFTP_PASSWORD=%s\n" % (FTP_USER, FTP_PASSWORD))
        f.write("CLOSED_PORT=%d\n" % free_port())
    print("servers ready: " + ", ".join("%s %d" % kv for kv in ports.items()))
    return 0


def stop(state_dir):
    state = read_state(state_dir)
    pids = [int(v) for k, v in state.items() if k.endswith("_PID") and v.isdigit()]
    stop_pids(pids)
    try:
        os.remove(os.path.join(state_dir, "state.txt"))
    except OSError:
        pass
    return 0


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("start", "stop"):
        print(__doc__)
        return 2
    state_dir = os.path.abspath(sys.argv[2])
    os.makedirs(state_dir, exist_ok=True)
    return start(state_dir) if sys.argv[1] == "start" else stop(state_dir)


if __name__ == "__main__":
    sys.exit(main())
