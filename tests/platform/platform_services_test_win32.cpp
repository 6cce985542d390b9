// The Windows sources of the run's platform services: the local application-data folder is
// the shell's kind-28 folder, the process list holds this process among all the others, and
// the response storage comes from the process heap.
#include <gtest/gtest.h>

#include <windows.h>

#include <knownfolders.h>
#include <shlobj.h>

#include <algorithm>
#include <memory>

#include "platform/app_data_folder.h"
#include "platform/process_heap.h"
#include "platform/process_list.h"
#include "platform/wide_call_text.h"
#include "tests/support/child_process.h"

namespace {

struct CTaskMemFree {
    void operator()(wchar_t* text) const { CoTaskMemFree(text); }
};

TEST(AppDataFolder, IsTheShellsLocalApplicationDataFolder) {
    wchar_t* known = nullptr;
    ASSERT_EQ(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, &known), S_OK);
    const std::unique_ptr<wchar_t, CTaskMemFree> owned(known);
    std::u16string folder = u"untouched";
    ASSERT_TRUE(LocalAppDataFolder(folder));
    EXPECT_EQ(folder, std::u16string(FromWideCall(known)));
    const DWORD attributes = GetFileAttributesW(ToWideCall(folder.c_str()));
    ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_NE(attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
}

TEST(ProcessList, HoldsThisProcessAndEveryChild) {
    CChildProcess children[3];
    for (auto& child : children) {
        ASSERT_TRUE(child.StartIdle());
    }
    std::vector<std::uint32_t> ids;
    ASSERT_TRUE(ReadRunningProcessIds(ids));
    EXPECT_NE(std::find(ids.begin(), ids.end(), GetCurrentProcessId()), ids.end());
    for (const auto& child : children) {
        EXPECT_NE(std::find(ids.begin(), ids.end(), child.Pid()), ids.end()) << child.Pid();
    }
    std::sort(ids.begin(), ids.end());
    EXPECT_EQ(std::adjacent_find(ids.begin(), ids.end()), ids.end()) << "each process once";
}

TEST(ProcessHeap, BlocksComeFromTheProcessHeap) {
    const CProcessHeap heap;
    void* block = heap.Allocate(5000);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(HeapValidate(GetProcessHeap(), 0, block));
    EXPECT_GE(HeapSize(GetProcessHeap(), 0, block), 5000u);
    block = heap.Reallocate(block, 70000);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(HeapSize(GetProcessHeap(), 0, block), 70000u);
    heap.Free(block);
}

}  // namespace
