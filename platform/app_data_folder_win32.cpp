// The local application-data folder on Windows: the shell's folder kind 28
// (CSIDL_LOCAL_APPDATA), neither created nor checked. The shell writes at most MAX_PATH
// units into a zero-filled buffer; an empty answer or a failed call means the folder is
// unknown, and the caller then touches no file.
#include <windows.h>

#include <shlobj.h>

#include <cwchar>

#include "platform/app_data_folder.h"
#include "platform/hresult_exception.h"
#include "platform/wide_call_text.h"

bool LocalAppDataFolder(WideString& folder) {
    wchar_t buffer[MAX_PATH] = {};
    if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_LOCAL_APPDATA, FALSE) || buffer[0] == 0) {
        return false;
    }
    try {
        folder.assign(FromWideCall(buffer), std::wcslen(buffer));
    } catch (const std::bad_alloc&) {
        throw CHresultException(E_OUTOFMEMORY);
    }
    return true;
}
