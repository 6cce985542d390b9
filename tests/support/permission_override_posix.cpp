// RunWithoutPermissionOverride on Linux: the thread drops CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH
// and CAP_FOWNER from its effective set before it runs the job.
#include "tests/support/permission_override.h"

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <thread>

bool RunWithoutPermissionOverride(const std::function<void()>& job) {
    bool ran = false;
    std::thread worker([&] {
        if (geteuid() == 0) {
            __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
            __user_cap_data_struct data[2]{};
            if (syscall(SYS_capget, &header, data) != 0) {
                return;
            }
            for (const int capability : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER}) {
                data[capability / 32].effective &= ~(1U << (capability % 32));
            }
            if (syscall(SYS_capset, &header, data) != 0) {
                return;
            }
        }
        ran = true;
        job();
    });
    worker.join();
    return ran;
}
