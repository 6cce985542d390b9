// Fuzz target for the readers of /proc texts (platform/proc_text.h): arbitrary bytes as an
// fdinfo text, as mountinfo lines and as a descriptor's link text. Each input is copied to a
// heap block of its exact size, so a read past its end is caught. Checks that an unescaped path
// never grows, and that only a path-like link text may name a file.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/proc_text.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

void CheckMountLines(std::string_view table) {
    while (!table.empty()) {
        const std::size_t end = table.find('\n');
        const std::string_view line = table.substr(0, end);
        table.remove_prefix(end == std::string_view::npos ? table.size() : end + 1);
        CMountRecord record;
        if (ReadMountRecord(line, record)) {
            Require(record.root.size() + record.mountPoint.size() <= line.size());
            Require(LastComponent(record.root).find('/') == std::string_view::npos);
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    const bool anyPath = (data[0] & 1) != 0;
    std::unique_ptr<char[]> block(new char[size - 1]);
    for (std::size_t i = 1; i < size; ++i) {
        block[i - 1] = static_cast<char>(data[i]);
    }
    const std::string_view text(block.get(), size - 1);
    ReadDescriptorInfo(text);
    CheckMountLines(text);
    // The text's own last component as a name, so that the name comparison is reached.
    const std::vector<std::string> names = {std::string(LastComponent(text)), "x.log"};
    const bool mayName = LinkMayNameFile(text, names, anyPath);
    Require(!mayName || (!text.empty() && text.front() == '/'));
    return 0;
}
