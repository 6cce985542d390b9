// The local application-data folder from the environment: $XDG_DATA_HOME, else
// $HOME/.local/share, relative or empty values ignored, nothing when neither is usable.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/app_data_folder.h"
#include "platform/text_conversion.h"
#include "tests/support/scoped_variable.h"

namespace {

struct FolderCase {
    const char* name;
    std::optional<std::string> xdg;
    std::optional<std::string> home;
    std::optional<std::string> folder;  // nullopt: none can be determined
};

TEST(AppDataFolder, FollowsTheXdgRules) {
    const FolderCase cases[] = {
        {"XDG_DATA_HOME wins", "/x/data", "/home/u", "/x/data"},
        {"trailing slashes dropped", "/x/data//", "/home/u", "/x/data"},
        {"no XDG_DATA_HOME", std::nullopt, "/home/u", "/home/u/.local/share"},
        {"empty XDG_DATA_HOME", "", "/home/u", "/home/u/.local/share"},
        {"relative XDG_DATA_HOME ignored", "data", "/home/u", "/home/u/.local/share"},
        {"neither", std::nullopt, std::nullopt, std::nullopt},
        {"empty HOME", std::nullopt, "", std::nullopt},
        {"relative HOME", "", "home", std::nullopt},
    };
    for (const auto& c : cases) {
        CScopedVariable xdg("XDG_DATA_HOME", c.xdg);
        CScopedVariable home("HOME", c.home);
        std::u16string folder = u"untouched";
        const bool found = LocalAppDataFolder(folder);
        EXPECT_EQ(found, c.folder.has_value()) << c.name;
        if (found && c.folder) {
            EXPECT_EQ(WideToNarrow(folder), *c.folder) << c.name;
        }
    }
}

}  // namespace
