// A fresh folder below the system's temporary folder (TMPDIR when set) for
// one test, removed with its content when it goes out of scope; and the
// whole-file reader and writer the tests share.
#pragma once

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

struct Temp_Folder {
    std::string Path;  // "" when no folder could be made
    Temp_Folder() {
        std::error_code ec;
        std::filesystem::path base = std::filesystem::temp_directory_path(ec);
        if (ec) base = "/tmp";
        std::string pattern = (base / "trellum-test-XXXXXX").string();
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back(0);
        if (mkdtemp(name.data())) Path = name.data();
    }
    ~Temp_Folder() {
        std::error_code ec;
        if (!Path.empty()) std::filesystem::remove_all(Path, ec);
    }
    Temp_Folder(const Temp_Folder&) = delete;
    Temp_Folder& operator=(const Temp_Folder&) = delete;
    std::string File(const std::string& name) const { return Path + "/" + name; }
};

inline std::string Read_Whole_File(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void Write_Whole_File(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}
