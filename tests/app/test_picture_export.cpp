#include <gtest/gtest.h>

#include "app/picture_export.h"
#include "base/image_io.h"
#include "base/tiff_io.h"
#include "document/doc_model.h"
#include "measure/calibration_list.h"
#include "measure/picture_render.h"
#include "measure/units.h"
#include "support/temp_folder.h"
#include "support/test_support.h"

namespace {

// The factory calibration before any calibration was made is no scale: the
// exported picture's bar reads in pixels and the TIFF has no resolution; the
// same value once a calibration was made, and any other value, is one.
TEST_F(App_Test, UncalibratedDocumentsExportInPixels) {
    Temp_Folder folder;
    Picture grey;
    grey.Width = 400, grey.Height = 120;
    grey.Pixels.assign((size_t)400 * 120 * 4, 90);
    struct Case {
        bool calibration_made;
        float ppmm;
        int64_t unit;
        bool in_pixels;
    } cases[] = {{false, 100, UNIT_MILLIMETRES, true}, {false, 100, UNIT_MICRONS, true},
                 {true, 100, UNIT_MILLIMETRES, false}, {false, 250, UNIT_MILLIMETRES, false}};
    for (const Case& c : cases) {
        Calibration_Made = c.calibration_made;
        Doc_Info doc;
        doc.PPMM = c.ppmm, doc.Measure_Unit = c.unit;
        doc.Tools = {Make_Tool(TOOL_LINE, 20, 30, 120, 30)};
        Picture_Render_Options options;
        std::string what = std::to_string(c.calibration_made) + " " + std::to_string(c.ppmm);
        const std::string path = folder.File("x.tif");
        ASSERT_TRUE(Write_Document_Picture(doc, grey, options, PICTURE_EXPORT_TIFF, path)) << what;
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(Read_File_Bytes(path, 64 << 20, &bytes));
        Picture written;
        Tiff_Calibration cal;
        ASSERT_TRUE(Decode_Tiff(bytes.data(), bytes.size(), MAX_PICTURE_EDGE, &written, &cal)) << what;
        EXPECT_FLOAT_EQ(cal.PPMM, c.in_pixels ? 0 : c.ppmm) << what;
        // The labels in the document's unit, the bar as a pixel document's.
        Doc_Info bar_doc = doc;
        if (c.in_pixels) bar_doc.PPMM = 0, bar_doc.Measure_Unit = UNIT_PIXELS;
        Picture labels, expected;
        Picture_Render_Options no_bar, bar_only;
        no_bar.Scale_Bar = 0, bar_only.Overlay = 0;
        ASSERT_TRUE(Render_Document_Picture(doc, grey, no_bar, &labels) &&
                    Render_Document_Picture(bar_doc, labels, bar_only, &expected));
        EXPECT_TRUE(written.Pixels == expected.Pixels) << what;
        Picture as_calibrated;
        ASSERT_TRUE(Render_Document_Picture(doc, grey, options, &as_calibrated));
        EXPECT_EQ(written.Pixels == as_calibrated.Pixels, !c.in_pixels) << what;
    }
}

}  // namespace
