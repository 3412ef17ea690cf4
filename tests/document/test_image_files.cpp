#include <gtest/gtest.h>

#include "base/image_io.h"
#include "base/tiff_io.h"
#include "document/doc_model.h"
#include "document/image_files.h"
#include "file_test_util.h"
#include "platform/platform.h"
#include "platform/platform_null.h"

using namespace file_test;

namespace {

TEST(ImageIo, ExportNamesFollowTheFilter) {
    struct Case {
        const char* typed;
        int filter;
        const char* name;
    } cases[] = {{"shot", EXPORT_JPEG, "shot.jpg"}, {"shot.JPG", EXPORT_JPEG, "shot.JPG"},
                 {"shot.jpeg", EXPORT_JPEG, "shot.jpeg.jpg"}, {"shot.jpg", EXPORT_PNG, "shot.jpg.png"},
                 {"shot.Bmp", EXPORT_BMP, "shot.Bmp"}, {"png", EXPORT_PNG, "png.png"}};
    for (const Case& c : cases) EXPECT_EQ(Export_File_Name(c.typed, c.filter), c.name);
}

class ImageFiles : public ::testing::Test {
protected:
    Temp_Folder temp;
    std::string folder = temp.Path;
    void SetUp() override {
        Null_Reset();
        Reset_Jobs();
        Clear_Prompt_Script();
        Clear_Prompt_History();
        ASSERT_FALSE(folder.empty());
    }
    std::string Last_Text() { return Prompt_History().empty() ? "" : Prompt_History().back().Text; }
};

TEST_F(ImageFiles, ExportFailuresAreNeverSuccess) {
    Make_Current_Job(-1);
    Export_Image(108);  // no such view here
    EXPECT_EQ(Last_Text(), "No document selected");
    // Without a picture view nothing can be read back.
    Make_Current_Job(0);
    Script_Prompt(1, folder + "/shot", EXPORT_PNG);
    Export_Image(108);  // no such view here
    ASSERT_EQ(Prompt_History().size(), 3u);
    EXPECT_EQ(Prompt_History()[1].Filter, "Jpg|*.jpg|Bitmap|*.bmp|PNG|*.png");
    EXPECT_EQ(Prompt_History()[2].Title + "/" + Last_Text(), "Error/Unable to save image file");
    EXPECT_FALSE(Write_Export_File(Pattern_Picture(2, 2), EXPORT_PNG, folder + "/no/such/x.png"));
    EXPECT_TRUE(List_Folder(folder).empty());
}

TEST_F(ImageFiles, ImportMakesANewFrozenDocument) {
    Jobs[0].In_Use = 1;
    Jobs[0].Doc.PPMM = 42.5f;
    Jobs[0].Doc.Measure_Unit = 4;
    Jobs[0].Doc.Processing.Threshold_Magenta = 77;
    Jobs[1].In_Use = 1;
    Jobs[2].Doc.Tools.resize(4);  // a closed document's leftovers
    Jobs[2].File_Name = "old.JQV";
    Make_Current_Job(0);
    Picture p = Pattern_Picture(4, 3, 9);
    std::vector<uint8_t> png;
    ASSERT_TRUE(Encode_Png(p, &png) && Write_File_Atomically(folder + "/micro.png", png));
    int64_t before = Local_Time_Seconds();
    ASSERT_TRUE(Import_Image_File(folder + "/micro.png", true));
    const Job_Slot& job = Jobs[2];
    EXPECT_EQ(Current_Job, 2);
    EXPECT_EQ(job.In_Use + job.Image_Changed, 2);
    EXPECT_EQ(job.File_Name + std::to_string(job.Doc.Tools.size()), "0");
    EXPECT_EQ(job.Picture_File, folder + "/micro.png") << "the results table names it";
    EXPECT_EQ(job.Doc.PPMM, 42.5f);
    EXPECT_EQ(job.Doc.Measure_Unit, 4);
    EXPECT_EQ(job.Doc.Processing.Threshold_Magenta, 77);
    EXPECT_GE(job.Doc.TimeStamp, before);
    EXPECT_EQ(job.Doc.Resolution.x * 10 + job.Doc.Resolution.y, 43);
    ASSERT_EQ(job.Doc.Image_Buffer.size(), 48u);
    EXPECT_EQ(job.Doc.Image_Buffer[3], 255);
    EXPECT_EQ(job.Doc.Image_Buffer[22], p.Pixels[22]);
    EXPECT_TRUE(Prompt_History().empty());
    // Not a picture: quiet on a drop, reported from the menu.
    Write_Whole_File(folder + "/notes.txt", "hello");
    EXPECT_FALSE(Import_Image_File(folder + "/notes.txt", true));
    EXPECT_TRUE(Prompt_History().empty());
    EXPECT_FALSE(Import_Image_File(folder + "/notes.txt", false));
    EXPECT_EQ(Last_Text(), "Unable to load selected file");
    // Past the pixel budget: refused with its own message, even from a drop.
    uint64_t open_bytes = Document_Pixel_Bytes();
    Pixel_Budget_Bytes = open_bytes + 4 * 3 * 4 - 1;
    bool imported = Import_Image_File(folder + "/micro.png", true);
    Pixel_Budget_Bytes = (uint64_t)2 << 30;
    EXPECT_FALSE(imported);
    EXPECT_EQ(Last_Text(), "Unable to load selected file: the pictures of all open documents would take more than 0 MB. "
                           "Close some documents to continue.");
    EXPECT_EQ(Document_Pixel_Bytes(), open_bytes);
    for (int i = 1; i <= 8; i++) Jobs[i].In_Use = 1;
    EXPECT_FALSE(Import_Image_File(folder + "/micro.png", true));
    EXPECT_EQ(Last_Text(), "Loaded job limit reached, close some jobs to continue.");
    Script_Prompt(0);
    Import_Image_Dialog();
    EXPECT_EQ(Prompt_History().back().Title, "Please choose an image to load");
    EXPECT_EQ(Prompt_History().back().Filter,
              "PNG, BMP, JPEG, TIFF|*.png;*.bmp;*.jpg;*.jpeg;*.tif;*.tiff|PNG (*.png)|*.png|BMP (*.bmp)|*.bmp|"
              "JPEG (*.jpg)|*.jpg|TIFF (*.tif)|*.tif;*.tiff");
}

// A TIFF that carries a calibration becomes a document with it (and its
// unit); one without keeps the live document's, as the other pictures do.
TEST_F(ImageFiles, CalibratedTiffImportsWithItsCalibration) {
    Jobs[0].In_Use = 1;
    Jobs[0].Doc.PPMM = 42.5f;
    Jobs[0].Doc.Measure_Unit = 2;
    Make_Current_Job(0);
    struct Case {
        double ppmm;
        int64_t unit;
        float expected_ppmm;
        int64_t expected_unit;
    } cases[] = {{812.5, 0, 812.5f, 0}, {3.25, 3, 3.25f, 3}, {0, 0, 42.5f, 2}};
    Picture p = Pattern_Picture(5, 4);
    for (const Case& c : cases) {
        std::vector<uint8_t> tiff;
        ASSERT_TRUE(Encode_Tiff(p, c.ppmm, c.unit, &tiff) && Write_File_Atomically(folder + "/cal.TIF", tiff));
        ASSERT_TRUE(Import_Image_File(folder + "/cal.TIF", false)) << c.ppmm;
        const Doc_Info& doc = Jobs[Current_Job].Doc;
        EXPECT_FLOAT_EQ(doc.PPMM, c.expected_ppmm);
        EXPECT_EQ(doc.Measure_Unit, c.expected_unit);
        ASSERT_EQ(doc.Resolution.x * 10 + doc.Resolution.y, 54);
        EXPECT_EQ(doc.Image_Buffer[4 * 7 + 2], p.Pixels[4 * 7 + 2]);
    }
    EXPECT_TRUE(Prompt_History().empty());
    // A damaged TIFF is refused like any other unreadable picture.
    std::vector<uint8_t> tiff;
    ASSERT_TRUE(Encode_Tiff(p, 10, 2, &tiff));
    tiff.resize(tiff.size() / 2);
    ASSERT_TRUE(Write_File_Atomically(folder + "/cut.tif", tiff));
    EXPECT_FALSE(Import_Image_File(folder + "/cut.tif", false));
    EXPECT_EQ(Last_Text(), "Unable to load selected file");
}

}  // namespace
