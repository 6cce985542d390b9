// The identifiers of the processes running now.
#pragma once

#include <cstdint>
#include <vector>

// Fills ids with every running process identifier, however many there are; 0, which no
// program carries, is never among them. False when the list cannot be read; ids is then
// empty and must not be taken as "nothing runs".
bool ReadRunningProcessIds(std::vector<std::uint32_t>& ids);
