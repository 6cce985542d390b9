// Whether a file is held open by someone else. POSIX has no share modes, so the file
// operations ask this probe before they move, delete or exclusively open a file, giving the
// guarantee that Windows gives through opening without sharing: a file in use stays put.
#pragma once

#include <cstdint>
#include <string>

// True when any descriptor of any process that can be inspected, this one included, refers
// to the file at nativePath. descriptor: an open descriptor of this process on that file, the
// one descriptor that does not count as a holder (the file's identity is taken from it); -1:
// none, the identity is taken from the path itself (a final symbolic link is not followed).
// True as well when the process table cannot be read at all: a file that might be in use is
// treated as in use.
bool IsFileInUse(int descriptor, const std::string& nativePath);

// True when a socket of this machine's network namespace is bound to the socket file at the
// absolute path: a listening socket is held through the socket, not through its file, so the
// descriptor probe above never sees it. True as well when the socket table cannot be read.
// A socket bound under a relative path is not recognised.
bool IsSocketFileInUse(const std::string& absolutePath);
