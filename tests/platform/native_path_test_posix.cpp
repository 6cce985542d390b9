// The UTF-8 spelling of paths for the POSIX system calls, and the paths it refuses.
#include <gtest/gtest.h>

#include <string>

#include "platform/native_path.h"

namespace {

TEST(NativePath, RefusesPathsTheSystemCannotName) {
    std::string native;
    EXPECT_TRUE(NativePathOf(u"/tmp/caf\u00E9", native));
    EXPECT_EQ(native, "/tmp/caf\xC3\xA9");
    EXPECT_FALSE(NativePathOf(std::u16string(u"/tmp/a\0b", 8), native)) << "embedded zero";
    EXPECT_FALSE(NativePathOf(u"", native));
}

}  // namespace
