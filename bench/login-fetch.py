"""Times the program fetching its saved wallpaper at login, for bench/login-fetch.sh.

Starts the program (the command after the file path), stamps its log lines as they come, and
from the line that starts the saved wallpaper's apply to the moment the master appears under
its name prints "MB/s cpu-s/MB voluntary-switches" of the whole process over that span, then
ends the program.

    login-fetch.py MASTER_PATH COMMAND ...
"""
import os
import subprocess
import sys
import threading
import time

START = "AUTO-APPLYING WALLPAPER IMMEDIATELY"
TIMEOUT_S = 120
TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICK


def voluntary_switches(pid):
    total = 0
    for task in os.listdir(f"/proc/{pid}/task"):
        with open(f"/proc/{pid}/task/{task}/status") as status:
            for line in status:
                if line.startswith("voluntary_ctxt_switches"):
                    total += int(line.split()[1])
    return total


def main():
    master, command = sys.argv[1], sys.argv[2:]
    program = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, errors="replace")
    started = threading.Event()
    begin = {}

    def read_log():
        for line in program.stdout:
            if START in line and not started.is_set():
                begin.update(time=time.monotonic(), cpu=cpu_seconds(program.pid), switches=voluntary_switches(program.pid))
                started.set()

    threading.Thread(target=read_log, daemon=True).start()
    try:
        if not started.wait(TIMEOUT_S):
            sys.exit("login-fetch: the program never began to apply its saved wallpaper")
        deadline = time.monotonic() + TIMEOUT_S
        while not os.path.exists(master):
            if time.monotonic() > deadline or program.poll() is not None:
                sys.exit("login-fetch: the master never appeared")
            time.sleep(0.002)
        seconds = time.monotonic() - begin["time"]
        cpu = cpu_seconds(program.pid) - begin["cpu"]
        switches = voluntary_switches(program.pid) - begin["switches"]
        megabytes = os.path.getsize(master) / 1e6
        print("%.1f %.4f %d" % (megabytes / seconds, cpu / megabytes, switches))
    finally:
        program.terminate()
        try:
            program.wait(10)
        except subprocess.TimeoutExpired:
            program.kill()


main()
