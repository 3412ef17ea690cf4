// Shared helpers of the file tests: a fresh temporary folder per test, small
// generated pictures, ZIP archives assembled member by member, and a way to
// make writes fail part-way (a file-size limit, so the failure is real).
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "render/picture.h"

namespace file_test {

inline std::string Make_Temp_Folder() {
    const char* base = getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/trellum-test-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    const char* made = mkdtemp(name.data());
    return made ? std::string(made) : std::string();
}

inline void Remove_Tree(const std::string& path) {
    DIR* d = opendir(path.c_str());
    if (!d) {
        unlink(path.c_str());
        return;
    }
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n == "." || n == "..") continue;
        Remove_Tree(path + "/" + n);
    }
    closedir(d);
    rmdir(path.c_str());
}

inline std::vector<std::string> List_Folder(const std::string& path) {
    std::vector<std::string> names;
    DIR* d = opendir(path.c_str());
    if (!d) return names;
    while (dirent* e = readdir(d)) {
        std::string n = e->d_name;
        if (n != "." && n != "..") names.push_back(n);
    }
    closedir(d);
    return names;
}

inline std::string Read_All(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

inline void Write_All(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), (std::streamsize)bytes.size());
}

// A w x h picture whose every pixel differs from its neighbours: blue = x,
// green = y, red = x * 7 + y * 13, alpha as given.
inline Picture Pattern_Picture(int32_t w, int32_t h, uint8_t alpha = 255) {
    Picture p;
    p.Width = w;
    p.Height = h;
    p.Pixels.resize((size_t)w * h * 4);
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++) {
            uint8_t* q = &p.Pixels[((size_t)y * w + x) * 4];
            q[0] = (uint8_t)x;
            q[1] = (uint8_t)y;
            q[2] = (uint8_t)(x * 7 + y * 13);
            q[3] = alpha;
        }
    return p;
}

// A ZIP archive of the given (name, content) members, stored as libarchive writes them.
inline std::string Make_Zip(const std::vector<std::pair<std::string, std::string>>& members) {
    std::vector<char> buffer(64 << 20);
    size_t used = 0;
    struct archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
    for (const auto& m : members) {
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.first.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_perm(e, 0644);
        archive_entry_set_size(e, (la_int64_t)m.second.size());
        archive_write_header(a, e);
        archive_write_data(a, m.second.data(), m.second.size());
        archive_entry_free(e);
    }
    archive_write_close(a);
    archive_write_free(a);
    return std::string(buffer.data(), used);
}

struct Zip_Member {
    std::string Name;
    std::string Content;
    int64_t Filetype = 0;
    int64_t Perm = 0;
    int64_t Mtime = 0;
};

inline std::vector<Zip_Member> Read_Zip(const std::string& bytes) {
    std::vector<Zip_Member> out;
    struct archive* a = archive_read_new();
    archive_read_support_format_zip(a);
    if (archive_read_open_memory(a, bytes.data(), bytes.size()) == ARCHIVE_OK) {
        struct archive_entry* e;
        while (archive_read_next_header(a, &e) == ARCHIVE_OK) {
            Zip_Member m;
            m.Name = archive_entry_pathname(e);
            m.Filetype = archive_entry_filetype(e);
            m.Perm = archive_entry_perm(e);
            m.Mtime = archive_entry_mtime(e);
            char chunk[65536];
            la_ssize_t n;
            while ((n = archive_read_data(a, chunk, sizeof chunk)) > 0) m.Content.append(chunk, (size_t)n);
            out.push_back(m);
        }
    }
    archive_read_free(a);
    return out;
}

// While alive, no file of this process may grow beyond `bytes`: writes past
// it fail with EFBIG (the signal that would come with it is ignored).
struct File_Size_Limit {
    struct rlimit Old;
    void (*Old_Handler)(int);
    explicit File_Size_Limit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &Old);
        Old_Handler = signal(SIGXFSZ, SIG_IGN);
        struct rlimit r = Old;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~File_Size_Limit() {
        setrlimit(RLIMIT_FSIZE, &Old);
        signal(SIGXFSZ, Old_Handler);
    }
};

}  // namespace file_test
