// CTempFolder: unique name from a random suffix, retried until creation succeeds.
#include "tests/support/temp_folder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>
#include <stdexcept>
#include <system_error>

#include "platform/text_conversion.h"

CTempFolder::CTempFolder() {
    std::random_device seed;
    std::mt19937_64 draw(seed());
    const auto base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::ostringstream name;
        name << "ombrix-test-" << std::hex << draw();
        std::error_code error;
        if (std::filesystem::create_directory(base / name.str(), error)) {
            path_ = base / name.str();
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be created");
}

CTempFolder::~CTempFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::u16string CTempFolder::WidePath() const {
    return NarrowToWide(path_.string());
}

std::filesystem::path CTempFolder::Write(const std::string& name, const std::string& bytes) const {
    const auto file = path_ / name;
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::string CTempFolder::Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool CTempFolder::Exists(const std::string& name) const {
    std::error_code error;
    return std::filesystem::exists(path_ / name, error);
}

std::vector<std::string> CTempFolder::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> VisibleNamesIn(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto name = entry.path().filename().string();
        if (name[0] != '.') {
            names.push_back(name);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}
