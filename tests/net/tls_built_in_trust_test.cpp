// BuiltInTlsRoots as a test program has it: the program is built with the build's
// LOGSENDER_CA_FILE, so a build without one trusts the system store, and a build with one pins
// every byte of the file, whatever byte comes first.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "net/tls/tls_built_in_trust.h"

namespace {

TEST(TlsBuiltInTrust, IsTheBuildsFileOrElseTheSystemStore) {
    const std::string file = LOGSENDER_CA_FILE;
    const CTlsTrust trust = BuiltInTlsRoots();
    if (file.empty()) {
        EXPECT_FALSE(trust.IsPinned());
        EXPECT_EQ(trust.Pem(), "");
        return;
    }
    std::ifstream in(file, std::ios::binary);
    ASSERT_TRUE(in) << file;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_TRUE(trust.IsPinned());
    EXPECT_EQ(trust.Pem(), bytes);
}

}  // namespace
