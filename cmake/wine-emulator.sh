#!/bin/sh
# The emulator through which ctest runs the Windows test programs: wine, with the program's
# output passed on once it has ended. Wine starts helper processes on demand (the desktop
# process, for one, when a program first needs a window, as COM does) that inherit the Unix
# descriptors of the program that caused them and outlive it; handed ctest's own pipe, such a
# helper would keep ctest waiting for the pipe to close long after the test had ended.
# Wine spells Unix file names in the locale's character set, and under C it has none beyond
# ASCII, so a program could not make a file whose name Windows holds without trouble (a folder
# named in another script); C.UTF-8 names every file while the ANSI code page stays 1252.
export LC_ALL=C.UTF-8
out=$(mktemp) && err=$(mktemp) || exit 125
wine "$@" >"$out" 2>"$err"
status=$?
cat "$out"
cat "$err" >&2
rm -f "$out" "$err"
exit $status
