// CRequestSettings: the defaults a caller relies on and the three setters.
#include <gtest/gtest.h>

#include "http/request_settings.h"
#include "platform/wide_text.h"

namespace {

TEST(RequestSettings, Defaults) {
    const CRequestSettings settings;
    EXPECT_EQ(settings.extraHeaders, nullptr);
    EXPECT_EQ(WideViewOf(settings.method), u"GET");
    EXPECT_EQ(settings.contentType, nullptr);
    EXPECT_EQ(settings.postDataLength, 0u);
    EXPECT_EQ(settings.flags, 11u);
    EXPECT_EQ(settings.timeoutMs, 10000u);
    EXPECT_EQ(settings.sendBlockSize, 4096u);
    EXPECT_EQ(settings.readBlockSize, 4096u);
    EXPECT_EQ(settings.sendProgressValue, 0u);
    EXPECT_EQ(settings.readProgressValue, 0u);
    EXPECT_EQ(settings.bodySourceValue, 0u);
    EXPECT_EQ(settings.port, 80);
    EXPECT_EQ(settings.postData, nullptr);
    EXPECT_EQ(settings.bodySource, nullptr);
    EXPECT_EQ(settings.sendProgress, nullptr);
    EXPECT_EQ(settings.readProgress, nullptr);
}

TEST(RequestSettings, SettersStoreAndReturnThePreviousValue) {
    CRequestSettings settings;
    const char16_t* post = u"POST";
    EXPECT_EQ(WideViewOf(settings.AssignMethod(post)), u"GET");
    EXPECT_EQ(settings.method, post);
    EXPECT_EQ(settings.AssignPort(8080), 80);
    EXPECT_EQ(settings.AssignPort(81), 8080);

    const std::uint8_t body[] = {1, 2, 3};
    const char16_t* type = u"text/plain";
    settings.AssignPostData(body, 3, type);
    EXPECT_EQ(settings.postData, body);
    EXPECT_EQ(settings.postDataLength, 3u);
    EXPECT_EQ(settings.contentType, type);
}

}  // namespace
