// Whether a file is held open by someone else. POSIX has no share modes, so the file
// operations ask this probe before they move, delete or exclusively open a file, giving the
// guarantee that Windows gives through opening without sharing: a file in use stays put.
#pragma once

#include <cstdint>

// True when any descriptor of any process that can be inspected, this one included, refers
// to the file (device, inode), except this process's own descriptor ownDescriptor (-1: none).
// True as well when the process table cannot be read at all: a file that might be in use is
// treated as in use.
bool IsFileInUse(std::uint64_t device, std::uint64_t inode, int ownDescriptor);
