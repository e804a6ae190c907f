#!/usr/bin/python3
"""Runs a program as gnome-session runs a user's autostart programs: in the
environment it gives its own, taken from one of them (PID), less what
names the program that one is. The program takes this process's place.

    session_program.py PID PROGRAM [ARGUMENT...]
"""
import os
import sys

OWN = (b"DESKTOP_AUTOSTART_ID", b"GIO_LAUNCHED_DESKTOP_FILE", b"GIO_LAUNCHED_DESKTOP_FILE_PID")

with open(f"/proc/{sys.argv[1]}/environ", "rb") as environ:
    entries = [entry.split(b"=", 1) for entry in environ.read().split(b"\0") if b"=" in entry]
os.execve(sys.argv[2], sys.argv[2:], {name: value for name, value in entries if name not in OWN})
