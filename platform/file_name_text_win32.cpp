// File names on Windows are UTF-16 from the system; their 8-bit spelling is the thread's ANSI
// code page, with that conversion's default characters for what the code page cannot hold.
#include "platform/file_name_text.h"
#include "platform/text_conversion.h"

std::u16string FileNameToWide(std::string_view name) {
    return NarrowToWide(name);
}

bool FileNameToNarrow(std::u16string_view name, std::string& narrow) {
    narrow = WideToNarrow(name);
    return true;
}
