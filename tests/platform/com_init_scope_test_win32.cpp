// COM for the zone check: the scope enters a single-threaded apartment on a fresh thread and
// leaves it again, and on a thread that already runs COM as a multi-threaded apartment it is
// still usable, the zone check still answers, and that initialisation is left standing. Each
// case runs on a thread of its own, so no apartment leaks into other tests.
#include <gtest/gtest.h>

#include <windows.h>

#include <objbase.h>

#include <thread>

#include "platform/com_init_scope.h"
#include "platform/zone_policy.h"

namespace {

template <typename Check>
void OnNewThread(Check check) {
    std::thread thread(check);
    thread.join();
}

// What CoInitializeEx for a multi-threaded apartment answers, with its own call balanced:
// S_OK when the thread had no COM, S_FALSE when it already was such an apartment,
// RPC_E_CHANGED_MODE when it is a single-threaded one.
HRESULT MultiThreadedInitResult() {
    const HRESULT result = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (SUCCEEDED(result)) {
        CoUninitialize();
    }
    return result;
}

TEST(ComInitScope, EntersAndLeavesASingleThreadedApartment) {
    OnNewThread([] {
        {
            const CComInitScope scope;
            EXPECT_TRUE(scope.Usable());
            EXPECT_EQ(MultiThreadedInitResult(), RPC_E_CHANGED_MODE) << "inside the scope";
        }
        EXPECT_EQ(MultiThreadedInitResult(), S_OK) << "COM left with the scope";
    });
}

TEST(ComInitScope, LeavesAnotherApartmentModeStanding) {
    OnNewThread([] {
        ASSERT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
        {
            const CComInitScope scope;
            EXPECT_TRUE(scope.Usable());
        }
        std::uint32_t policy = 0x1234;
        EXPECT_TRUE(QueryUrlCredentialsPolicy(u"http://127.0.0.1/", policy));
        EXPECT_NE(policy, 0x1234u) << "the zone check ran";
        EXPECT_EQ(MultiThreadedInitResult(), S_FALSE) << "still the apartment it was";
        CoUninitialize();
    });
}

TEST(ComInitScope, ZoneCheckLeavesAFreshThreadWithoutCom) {
    OnNewThread([] {
        std::uint32_t policy = 0x1234;
        EXPECT_TRUE(QueryUrlCredentialsPolicy(u"http://example.com/", policy));
        EXPECT_EQ(MultiThreadedInitResult(), S_OK);
    });
}

}  // namespace
