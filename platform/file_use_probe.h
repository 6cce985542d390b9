// Whether a file is held open by someone else. POSIX has no share modes, so the file
// operations ask this probe before they move, delete or exclusively open a file, giving the
// guarantee that Windows gives through opening without sharing: a file in use stays put.
#pragma once

#include <string>

// True when any descriptor of any process that can be inspected, this one included, refers
// to the file, except the one descriptor of this process passed in. descriptor: an open
// descriptor of this process on the file; the file's identity is taken from it, and it is the
// one descriptor of this process that does not count as a holder. -1: the identity is taken
// from nativePath itself (a final symbolic link is not followed), and every descriptor counts.
// nativePath names the file either way; its last component is the file's name. Processes that
// cannot be read are skipped. True as well when the process table cannot be read at all or
// the file's identity cannot be taken: a file that might be in use is treated as in use. A
// descriptor opened with O_PATH, which can neither read nor write the file, need not count.
// No file but the one asked about is ever opened, stat'ed or read; asked by path, a regular
// file is opened for reading for the length of the check.
bool IsFileInUse(int descriptor, const std::string& nativePath);

// True when a socket of this machine's network namespace is bound to the socket file at the
// absolute path: a listening socket is held through the socket, not through its file, so the
// descriptor probe above never sees it. True as well when the socket table cannot be read.
// A socket bound under a relative path is not recognised.
bool IsSocketFileInUse(const std::string& absolutePath);
