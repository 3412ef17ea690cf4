// Replays the checked-in fuzz seed corpus through the fuzz entry points, so
// every ordinary test run exercises the readers on those inputs too.
#include <gtest/gtest.h>

#include <dirent.h>

#include <algorithm>

#include "../../fuzz/fuzz_entries.h"
#include "file_test_util.h"

namespace {

std::vector<std::string> Corpus(const std::string& target) {
    std::string folder = std::string(TRELLUM_SOURCE_DIR) + "/fuzz/corpus/" + target;
    std::vector<std::string> paths;
    for (const std::string& name : file_test::List_Folder(folder)) paths.push_back(folder + "/" + name);
    std::sort(paths.begin(), paths.end());
    return paths;
}

TEST(FuzzCorpus, EveryReaderSurvivesItsSeeds) {
    struct Target {
        const char* name;
        void (*entry)(const uint8_t*, size_t);
    } targets[] = {{"doc_archive", Fuzz_Doc_Archive}, {"doc_json", Fuzz_Doc_Json},
                   {"camera_settings", Fuzz_Camera_Settings}, {"prefs", Fuzz_Prefs},
                   {"png", Fuzz_Png}, {"jpeg", Fuzz_Jpeg}, {"bmp", Fuzz_Bmp}, {"tiff", Fuzz_Tiff},
                   {"calibration_list", Fuzz_Calibration_List}};
    for (const Target& t : targets) {
        std::vector<std::string> files = Corpus(t.name);
        EXPECT_FALSE(files.empty()) << t.name;
        for (const std::string& path : files) {
            std::string bytes = Read_Whole_File(path);
            t.entry((const uint8_t*)bytes.data(), bytes.size());
        }
    }
}

// The picture seeds are all valid files of their kind (grey, palette, 16-bit
// and alpha PNG; progressive, grey and CMYK JPEG; core-header, 1-, 4-, 8-,
// 16- and 32-bit BMP; grey, 16-bit grey, tiled, separate-plane, RGBA,
// palette, calibrated and damaged-resolution TIFF): each must decode to the
// size its name gives.
TEST(FuzzCorpus, PictureSeedsDecode) {
    for (const std::string kind : {"png", "jpeg", "bmp", "tiff"}) {
        for (const std::string& path : Corpus(kind.c_str())) {
            std::string bytes = Read_Whole_File(path);
            Picture p;
            const uint8_t* data = (const uint8_t*)bytes.data();
            ASSERT_TRUE(kind == "tiff" ? Decode_Tiff(data, bytes.size(), MAX_PICTURE_EDGE, &p)
                                       : Decode_Picture(data, bytes.size(), &p))
                << path;
            std::string size = path.substr(path.rfind('_') + 1);
            size = size.substr(0, size.find('.'));
            EXPECT_EQ(std::to_string(p.Width) + "x" + std::to_string(p.Height), size) << path;
        }
    }
}

// Document seeds named "refused_..." must be refused (a picture member cut
// short, too many tools); the others name a document that opens.
TEST(FuzzCorpus, DocumentSeedsOpenOrAreRefusedByName) {
    for (const std::string& path : Corpus("doc_archive")) {
        std::string name = path.substr(path.rfind('/') + 1);
        bool refused = name.compare(0, 8, "refused_") == 0 || name == "missing_settings.jqv";
        std::string bytes = Read_Whole_File(path);
        Doc_Info doc;
        Picture picture;
        EXPECT_EQ(Read_Document_Archive((const uint8_t*)bytes.data(), bytes.size(), FUZZ_MAX_EDGE, &doc, &picture),
                  !refused)
            << name;
    }
}

}  // namespace
