// CTempFolder: a fresh, uniquely named folder under the system's temporary folder for one
// test, removed with everything in it when the object ends. Small helpers write, read and
// list its files so that tests can assert what a run left behind.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

class CTempFolder {
public:
    CTempFolder();
    ~CTempFolder();
    CTempFolder(const CTempFolder&) = delete;
    CTempFolder& operator=(const CTempFolder&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    // The folder as UTF-16 text, the form the program's paths take.
    std::u16string WidePath() const;
    // Creates (or truncates) the file name in the folder; a name with slashes creates the
    // folders on its way.
    std::filesystem::path Write(const std::string& name, const std::string& bytes) const;
    // Whole content of a file of the folder; empty when it cannot be read.
    std::string Read(const std::string& name) const;
    bool Exists(const std::string& name) const;
    // Names of the entries of the folder, sorted.
    std::vector<std::string> Names() const;

private:
    std::filesystem::path path_;
};

// Names of the entries of any folder that do not begin with ".", sorted; none when the folder
// cannot be read.
std::vector<std::string> VisibleNamesIn(const std::filesystem::path& folder);
