// Helpers of the file tests (with the shared temporary folder): generated
// pictures, ZIP archives assembled member by member, and writes that really
// fail part-way (a file-size limit).
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <dirent.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <zlib.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "base/picture.h"
#include "support/temp_folder.h"  // Temp_Folder, Read_Whole_File, Write_Whole_File

namespace file_test {

inline std::vector<std::string> List_Folder(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* d = opendir(path.c_str())) {
        while (dirent* e = readdir(d))
            if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.push_back(e->d_name);
        closedir(d);
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Every pixel differs from its neighbours: blue = x, green = y, red = 7x + 13y.
inline Picture Pattern_Picture(int32_t w, int32_t h, uint8_t alpha = 255) {
    Picture p;
    p.Width = w;
    p.Height = h;
    p.Pixels.resize((size_t)(w > 0 ? w : 0) * (size_t)(h > 0 ? h : 0) * 4);
    size_t i = 0;
    for (int32_t y = 0; y < h; y++)
        for (int32_t x = 0; x < w; x++, i += 4) {
            p.Pixels[i] = (uint8_t)x;
            p.Pixels[i + 1] = (uint8_t)y;
            p.Pixels[i + 2] = (uint8_t)(x * 7 + y * 13);
            p.Pixels[i + 3] = alpha;
        }
    return p;
}

// A PNG file from raw parts: IHDR fields, extra chunks placed before the image
// data (each "TYPE" + body), and the scanlines without their filter bytes
// (filter 0 is added to each of `rows` lines, not interlaced).
inline std::string Png_Chunk(const std::string& type, const std::string& body) {
    auto be32 = [](uint32_t v) { return std::string{(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v}; };
    std::string typed = type + body;
    uint32_t crc = (uint32_t)crc32(0, (const Bytef*)typed.data(), (uInt)typed.size());
    return be32((uint32_t)body.size()) + typed + be32(crc);
}

inline std::string Make_Png(uint32_t w, uint32_t h, int depth, int colour_type, const std::string& scanlines,
                            const std::vector<std::pair<std::string, std::string>>& chunks = {}) {
    auto be32 = [](uint32_t v) { return std::string{(char)(v >> 24), (char)(v >> 16), (char)(v >> 8), (char)v}; };
    std::string raw;
    size_t row = h ? scanlines.size() / h : 0;
    for (uint32_t y = 0; y < h; y++) raw += '\0' + scanlines.substr(y * row, row);
    uLongf packed_size = compressBound((uLong)raw.size());
    std::string packed(packed_size, '\0');
    compress((Bytef*)&packed[0], &packed_size, (const Bytef*)raw.data(), (uLong)raw.size());
    packed.resize(packed_size);
    std::string png = "\x89PNG\r\n\x1a\n";
    png += Png_Chunk("IHDR", be32(w) + be32(h) + std::string{(char)depth, (char)colour_type, 0, 0, 0});
    for (const auto& c : chunks) png += Png_Chunk(c.first, c.second);
    return png + Png_Chunk("IDAT", packed) + Png_Chunk("IEND", "");
}

inline std::string Make_Zip(const std::vector<std::pair<std::string, std::string>>& members) {
    std::vector<char> buffer(1 << 20);
    size_t used = 0;
    struct archive* a = archive_write_new();
    archive_write_set_format_zip(a);
    archive_write_open_memory(a, buffer.data(), buffer.size(), &used);
    for (const auto& m : members) {
        struct archive_entry* e = archive_entry_new();
        archive_entry_set_pathname(e, m.first.c_str());
        archive_entry_set_filetype(e, AE_IFREG);
        archive_entry_set_size(e, (la_int64_t)m.second.size());
        archive_write_header(a, e);
        archive_write_data(a, m.second.data(), m.second.size());
        archive_entry_free(e);
    }
    archive_write_free(a);
    return std::string(buffer.data(), used);
}

// While alive, writes that would make any file larger than `bytes` fail.
struct File_Size_Limit {
    struct rlimit Old;
    explicit File_Size_Limit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &Old);
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit r = Old;
        r.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &r);
    }
    ~File_Size_Limit() { setrlimit(RLIMIT_FSIZE, &Old); }
};

}  // namespace file_test
