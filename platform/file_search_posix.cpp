// CFileSearch on POSIX: readdir to the end, keeping the names that begin with the prefix,
// in the order the directory gives them. Names convert without loss, so each one names its
// file again.
#include "platform/file_search.h"

#include <dirent.h>

#include <cerrno>
#include <memory>
#include <new>
#include <string>

#include "platform/file_name_text.h"
#include "platform/hresult_exception.h"
#include "platform/native_path.h"

namespace {

struct CDirCloser {
    void operator()(DIR* dir) const { closedir(dir); }
};

}  // namespace

bool CFileSearch::First(WideView folder, WideView prefix, WideString& name) try {
    names_.clear();
    next_ = 0;
    std::string native;
    if (!NativePathOf(folder, native)) {
        return false;
    }
    std::unique_ptr<DIR, CDirCloser> dir(opendir(native.c_str()));
    if (!dir) {
        return false;
    }
    std::string nativePrefix;
    if (!FileNameToNarrow(prefix, nativePrefix)) {
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir.get());
        if (entry == nullptr) {
            break;
        }
        const std::string entryName = entry->d_name;
        if (entryName.compare(0, nativePrefix.size(), nativePrefix) == 0) {
            names_.push_back(FileNameToWide(entryName));
        }
    }
    if (errno != 0) {
        names_.clear();
    }
    return Next(name);
} catch (const std::bad_alloc&) {
    throw CHresultException(E_OUTOFMEMORY);
}
