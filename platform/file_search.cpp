// CFileSearch: handing out the names read when the search started, one by one.
#include "platform/file_search.h"

bool CFileSearch::Next(WideString& name) {
    if (next_ >= names_.size()) {
        return false;
    }
    name = names_[next_++];
    return true;
}
