#!/usr/bin/python3
"""Waits for a process (any, not only a child) to end, and says when, as the
kernel tells it through a pidfd: "watching" once it watches, then
"ended_at MS", in milliseconds on the boot clock (that of /proc/uptime and
of a process's start time). A test that looks only now and then on a busy
machine still learns the very moment.
"""
import os
import select
import sys
import time

pidfd = os.pidfd_open(int(sys.argv[1]))
print("watching", flush=True)
select.select([pidfd], [], [])
print("ended_at", int(time.clock_gettime(time.CLOCK_BOOTTIME) * 1000), flush=True)
