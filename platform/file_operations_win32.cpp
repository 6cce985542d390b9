// Delete and rename on Windows. Both fail by themselves for a file another opener holds
// without sharing delete access, which is how the product holds its logs. The rename is the C
// library's _wrename, which moves without ever replacing an existing target.
#include <windows.h>

#include <stdio.h>

#include "platform/file_operations.h"
#include "platform/nameable_path.h"
#include "platform/wide_call_text.h"

bool DeleteFileAt(WideView path) {
    WideString terminated;
    return TerminatedPathOf(path, terminated) && DeleteFileW(ToWideCall(terminated.c_str()));
}

bool FileExistsAt(WideView path) {
    WideString terminated;
    return TerminatedPathOf(path, terminated) &&
           GetFileAttributesW(ToWideCall(terminated.c_str())) != INVALID_FILE_ATTRIBUTES;
}

bool RenameFileNoReplace(WideView from, WideView to) {
    WideString terminatedFrom;
    WideString terminatedTo;
    return TerminatedPathOf(from, terminatedFrom) && TerminatedPathOf(to, terminatedTo) &&
           _wrename(ToWideCall(terminatedFrom.c_str()), ToWideCall(terminatedTo.c_str())) == 0;
}
