// A fresh folder below the system's temporary folder for one test, removed
// with its content at the end.
#pragma once

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

struct Temp_Folder {
    std::string Path;
    Temp_Folder() {
        char pattern[] = "/tmp/trellum-test-XXXXXX";
        const char* made = mkdtemp(pattern);
        Path = made ? made : "";
    }
    ~Temp_Folder() {
        if (!Path.empty()) {
            std::string command = "rm -rf '" + Path + "'";
            if (system(command.c_str()) != 0) {
            }
        }
    }
    std::string File(const std::string& name) const { return Path + "/" + name; }
};

inline std::string Read_Whole_File(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void Write_Whole_File(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary);
    out << bytes;
}
