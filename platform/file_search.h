// CFileSearch: the names in one folder that begin with a given prefix (the sweep's
// "OmbrixLog.*"). The folder is read once, when the search starts, and the names are then
// handed out one by one, so files that appear while the caller works through the list (its
// own archives, say) are never handed out. Matching follows the platform's own file-name
// rules: on POSIX the name must begin with the prefix byte for byte, so letter case counts; on
// Windows the system's pattern prefix + "*" decides, so letter case is ignored and "OmbrixLog."
// also finds a file named just "OmbrixLog".
#pragma once

#include <cstddef>
#include <vector>

#include "platform/wide_text.h"

class CFileSearch {
public:
    // Reads the folder and gives the first matching name. False when the folder cannot be
    // read or nothing matches.
    bool First(WideView folder, WideView prefix, WideString& name);
    // The next matching name; false when there is none left.
    bool Next(WideString& name);

private:
    std::vector<WideString> names_;
    std::size_t next_ = 0;
};
