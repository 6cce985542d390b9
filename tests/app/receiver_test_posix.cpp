// The reference receiver: the name it stores each upload under, whatever file name the part
// carries, and that nothing is ever written outside its upload folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "http/http_client.h"
#include "http/request_settings.h"
#include "net/socket/event_sync_socket.h"
#include "platform/text_conversion.h"
#include "tests/app/reference_receiver.h"
#include "tests/support/temp_folder.h"

namespace {

const std::string kBoundary = "---------------------------546534675385635";

// One POST of body as multipart/form-data; the status code of the answer (-1: none).
int Post(const std::u16string& url, const std::string& body) {
    CRequestSettings settings;
    settings.AssignMethod(u"POST");
    const std::u16string type = NarrowToWide("multipart/form-data; boundary=" + kBoundary);
    settings.AssignPostData(reinterpret_cast<const std::uint8_t*>(body.data()),
                            static_cast<std::uint32_t>(body.size()), type.c_str());
    CHttpClientT<CEventSyncSocket> client;
    client.RequestUrl(url.c_str(), &settings);
    return client.StatusCode();
}

std::string Part(const std::string& disposition, const std::string& content) {
    return "--" + kBoundary + "\r\nContent-Disposition: form-data; " + disposition +
           "\r\nContent-Type: application/octet-stream\r\n\r\n" + content + "\r\n--" + kBoundary +
           "--\r\n";
}

// Every path below root, relative to it, sorted.
std::vector<std::string> Tree(const std::filesystem::path& root) {
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
        paths.push_back(std::filesystem::relative(entry.path(), root).string());
    }
    std::sort(paths.begin(), paths.end());
    return paths;
}

struct NameCase {
    const char* what;
    std::string fileName;
    std::string stored;  // the name in the upload folder
};

TEST(ReferenceReceiver, StoresEveryUploadInsideItsFolder) {
    // Two levels between the upload folder and the root, so that a name climbing out of the
    // folder would still land where the test looks.
    CTempFolder root;
    const std::string folder = "one/two/uploads";
    CReferenceReceiver receiver;
    ASSERT_TRUE(receiver.Start((root.Path() / folder).string(), "127.0.0.1:0"))
        << "php -S did not come up";
    const NameCase cases[] = {
        {"the log sender's name", "S1$OmbrixLog07.4321.Runner.zip",
         "S1$OmbrixLog07.4321.Runner.zip"},
        {"the same name again", "S1$OmbrixLog07.4321.Runner.zip",
         "S1$OmbrixLog07.4321.Runner.zip.1"},
        {"parent folders", "../../up-two", "up-two"},
        {"backslashes", "..\\..\\back", "back"},
        {"absolute path", (root.Path() / "absolute").string(), "absolute"},
        {"a path after the session identifier", "S1$a/../..", "_"},
        {"dots only", "...", "_."},
        {"dots inside", "a....b", "a__b"},
        {"hidden name", ".incoming", "_incoming"},
        {"control bytes",
         "c\x01\x1f\x7f"
         "d",
         "c___d"},
        {"nothing left of it", "sub/", "upload"},
    };
    std::vector<std::string> expected{"one", "one/two", folder, folder + "/.incoming"};
    for (const auto& c : cases) {
        const std::string content = std::string("content of ") + c.what;
        EXPECT_EQ(
            Post(receiver.Url(), Part("name=\"file\"; filename=\"" + c.fileName + "\"", content)),
            200)
            << c.what;
        EXPECT_EQ(root.Read(folder + "/" + c.stored), content) << c.what;
        expected.push_back(folder + "/" + c.stored);
    }
    const std::pair<const char*, std::string> refused[] = {
        {"empty file name", Part("name=\"file\"; filename=\"\"", "x")},
        {"another field", Part("name=\"other\"; filename=\"x.zip\"", "x")},
        {"no file name", Part("name=\"file\"", "x")},
        {"no body", ""},
    };
    for (const auto& [what, body] : refused) {
        EXPECT_EQ(Post(receiver.Url(), body), 400) << what;
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Tree(root.Path()), expected) << "stored names only, and only in the folder";
}

}  // namespace
