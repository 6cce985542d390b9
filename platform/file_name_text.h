// File-system names between their 8-bit spelling and UTF-16, without loss. On POSIX a name is
// bytes, mostly UTF-8: valid UTF-8 converts as text, and each byte that is not part of valid
// UTF-8 stands for itself as U+DC80..U+DCFF (the byte plus 0xDC00), so a name read from the
// system converts back to the very bytes it was. On Windows names are UTF-16 already and reach
// the wide system calls unchanged; the 8-bit spelling there is the ANSI code page's, needed
// only where a library takes 8-bit names (archive entries). Exhausted memory raises
// CHresultException(E_OUTOFMEMORY).
#pragma once

#include <string>
#include <string_view>

std::u16string FileNameToWide(std::string_view name);
// False for text that no name spells: on POSIX an unpaired surrogate outside U+DC80..U+DCFF.
bool FileNameToNarrow(std::u16string_view name, std::string& narrow);
