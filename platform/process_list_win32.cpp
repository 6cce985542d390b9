// The running processes on Windows: EnumProcesses, read whole however many processes run.
// The list may hold 0, the pseudo-identifier of the idle process; no program carries it, so it
// is left out, as it is on POSIX.
#include <windows.h>

#include <psapi.h>

#include <algorithm>

#include "platform/process_list.h"
#include "platform/whole_id_list.h"

bool ReadRunningProcessIds(std::vector<std::uint32_t>& ids) {
    static_assert(sizeof(DWORD) == sizeof(std::uint32_t), "process identifiers are 32 bits");
    const auto enumerate = [](std::uint32_t* buffer, std::uint32_t bytes, std::uint32_t& written) {
        DWORD returned = 0;
        const BOOL listed = EnumProcesses(reinterpret_cast<DWORD*>(buffer), bytes, &returned);
        written = returned;
        return listed != FALSE;
    };
    if (!ReadWholeIdList(enumerate, ids)) {
        return false;
    }
    ids.erase(std::remove(ids.begin(), ids.end(), 0U), ids.end());
    return !ids.empty();
}
