// The local application-data folder on POSIX, after the XDG base-directory rules:
// $XDG_DATA_HOME, else $HOME/.local/share. A relative or empty value is ignored, as those
// rules require, so the run never works on a folder that depends on its current directory.
// The value converts without loss: the folder used is the one named, byte for byte.
#include "platform/app_data_folder.h"

#include <cstdlib>
#include <string>

#include "platform/file_name_text.h"
#include "platform/path_join.h"

namespace {

bool AbsoluteVariable(const char* name, std::string& value) {
    const char* text = std::getenv(name);
    if (text == nullptr || text[0] != '/') {
        return false;
    }
    value = text;
    while (value.size() > 1 && value.back() == '/') {
        value.pop_back();
    }
    return true;
}

}  // namespace

bool LocalAppDataFolder(WideString& folder) {
    std::string value;
    if (AbsoluteVariable("XDG_DATA_HOME", value)) {
        folder = FileNameToWide(value);
        return true;
    }
    if (AbsoluteVariable("HOME", value)) {
        folder = JoinPath(JoinPath(FileNameToWide(value), u".local"), u"share");
        return true;
    }
    return false;
}
