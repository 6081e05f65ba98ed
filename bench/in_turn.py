#!/usr/bin/env python3
"""Times whole runs of two or more builds of a program in turn.

Usage: bench/in_turn.py INPUT ROUNDS PROGRAM...

Each round runs every PROGRAM once, INPUT on its standard input and its
output to /dev/null, in the order given on even rounds and the other way
round on odd ones, after one untimed run of each that warms the page cache.
Prints for each program its median wall time and median processor time
(user and system, from wait4) over the rounds, and the median over the
rounds of its time over the first program's time in the same round: a
ratio above 1 means slower than the first. A program or input that is not
there, or a run that does not end with status 0, stops the timing with a
message and status 1.
"""
import os
import statistics
import sys
import time


def run_once(program, source):
    """One run of program on the file source: wall and processor ms."""
    actions = [(os.POSIX_SPAWN_OPEN, 0, source, os.O_RDONLY, 0),
               (os.POSIX_SPAWN_OPEN, 1, os.devnull, os.O_WRONLY, 0)]
    began = time.perf_counter_ns()
    try:
        pid = os.posix_spawn(program, [program], {}, file_actions=actions)
    except OSError as error:  # the program, or the input it is given, is missing
        sys.exit(f"{program} < {source}: {error.strerror}")
    _, status, usage = os.wait4(pid, 0)
    wall = (time.perf_counter_ns() - began) / 1e6
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{program}: status {os.waitstatus_to_exitcode(status)}")
    return wall, (usage.ru_utime + usage.ru_stime) * 1e3


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    source, rounds, programs = sys.argv[1], int(sys.argv[2]), sys.argv[3:]
    for program in programs:
        run_once(program, source)
    wall = {program: [] for program in programs}
    cpu = {program: [] for program in programs}
    for n in range(rounds):
        for program in programs if n % 2 == 0 else programs[::-1]:
            w, c = run_once(program, source)
            wall[program].append(w)
            cpu[program].append(c)
    first = programs[0]
    for program in programs:
        wall_ratio = statistics.median(a / b for a, b in zip(wall[program], wall[first]))
        cpu_ratio = statistics.median(a / b for a, b in zip(cpu[program], cpu[first]))
        print(f"{program}: wall {statistics.median(wall[program]):.2f} ms, "
              f"cpu {statistics.median(cpu[program]):.2f} ms, "
              f"over the first in turn: wall {wall_ratio:.3f}, cpu {cpu_ratio:.3f}")


if __name__ == "__main__":
    main()
