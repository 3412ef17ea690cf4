// Unit conversion and the compact number format.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "document/doc_model.h"
#include "document/settings.h"
#include "base/picture.h"
#include "measure/picture_render.h"
#include "measure/scale_bar.h"
#include "measure/units.h"
#include "platform/platform.h"
#include "platform/platform_null.h"

namespace {

// The unit setting `code` (-1 = nothing selected).
void Use_Unit(int64_t code) {
    User_Settings settings = Settings_View();
    settings.Unit = code;
    Store_Settings(settings);
}

class Units : public ::testing::Test {
  protected:
    void SetUp() override {
        Null_Reset();
        Reset_Jobs();
        Jobs[0].Doc.PPMM = 100.0f;
    }
};

const double Inf = std::numeric_limits<double>::infinity();
const double NaN = std::numeric_limits<double>::quiet_NaN();

TEST_F(Units, FormatLengthTable) {
    struct Row {
        double pixels, ppmm;
        float live_ppmm;
        int64_t unit;
        const char* expected;
    } rows[] = {
        // 100 px at 50 px/mm in every unit
        {100, 50, 100, UNIT_MILLIMETRES, "2mm"},
        {100, 50, 100, UNIT_MICRONS, "2000um"},
        {100, 50, 100, UNIT_THOU, "78.74thou"},
        {100, 50, 100, UNIT_INCHES, "0.08inch"},
        {100, 50, 100, UNIT_PIXELS, "100px"},
        // the compact format, at 1 px/mm so pixels are millimetres
        {0.004, 1, 100, UNIT_MILLIMETRES, "0mm"},
        {-0.004, 1, 100, UNIT_MILLIMETRES, "-0mm"},
        {0.5, 1, 100, UNIT_MILLIMETRES, "0.50mm"},
        {12345.678, 1, 100, UNIT_MILLIMETRES, "12345mm"},
        {1234.567, 1, 100, UNIT_MICRONS, "123456um"},
        {9.999, 1, 100, UNIT_MILLIMETRES, "10mm"},
        {-12345.678, 1, 100, UNIT_MILLIMETRES, "-12345mm"},
        {123.456, 1, 100, UNIT_MILLIMETRES, "123.46mm"},
        {1234.567, 1, 100, UNIT_MILLIMETRES, "1234.5mm"},
        {-0.0, 1, 100, UNIT_MILLIMETRES, "0mm"},
        {1e300, 1, 100, UNIT_MILLIMETRES, "100000mm"},
        // pixels truncate toward zero and ignore the calibration
        {99.9, 50, 100, UNIT_PIXELS, "99px"},
        {-99.9, 50, 100, UNIT_PIXELS, "-99px"},
        {-0.4, 50, 100, UNIT_PIXELS, "0px"},
        {NaN, 50, 100, UNIT_PIXELS, "0px"},
        {Inf, 0, 0, UNIT_PIXELS, "0px"},
        {-Inf, 50, 100, UNIT_PIXELS, "0px"},
        // ppmm 0 takes the live document's calibration
        {100, 0, 50, UNIT_MILLIMETRES, "2mm"},
        {100, 0, 50, UNIT_MICRONS, "2000um"},
        // ... and when that is 0 too, the number is written out before the cut
        {100, 0, 0, UNIT_MILLIMETRES, "+Infinmm"},
        {-100, 0, 0, UNIT_MILLIMETRES, "-Infinmm"},
        {0, 0, 0, UNIT_MILLIMETRES, "NaNmm"},
        {100, 0, 0, UNIT_MICRONS, "+Infinum"},
        // no valid unit selected: millimetres, labelled "mm"
        {100, 50, 100, -1, "2mm"},
    };
    for (const Row& r : rows) {
        Jobs[0].Doc.PPMM = r.live_ppmm;
        Use_Unit(r.unit);
        EXPECT_EQ(Format_Length(r.pixels, r.ppmm, 1), r.expected)
            << r.pixels << " px at " << r.ppmm << " px/mm, unit " << r.unit;
    }
}

TEST_F(Units, LabelsAndConvertedValuesPerUnit) {
    struct Row {
        int64_t unit;
        const char* label;
        const char* caption;
        const char* converted;  // Format_Converted(2.5)
    } rows[] = {
        {UNIT_MICRONS, "um", "um", "2.50um"},
        {UNIT_THOU, "thou", "thou", "2.50thou"},
        {UNIT_MILLIMETRES, "mm", "mm", "2.50mm"},
        {UNIT_INCHES, "inch", "in", "2.50inch"},
        {UNIT_PIXELS, "px", "pixels", "2.50px"},
        {-1, "", "", "2.50"},
    };
    for (const Row& r : rows) {
        Use_Unit(r.unit);
        EXPECT_EQ(Current_Unit_Code(), r.unit);
        EXPECT_EQ(Unit_Label(), r.label) << r.unit;
        EXPECT_EQ(Unit_Caption(), r.caption) << r.unit;
        EXPECT_EQ(Format_Converted(2.5), r.converted) << r.unit;
    }
    Use_Unit(UNIT_THOU);
    EXPECT_EQ(Format_Length(100, 50, 0), "78.74");  // the label only with flag 1
    EXPECT_EQ(Format_Length(100, 50, 2), "78.74");
    EXPECT_EQ(Unit_Name(5), "");
    EXPECT_EQ(Unit_Name(-1), "");
}

TEST_F(Units, ConvertLengthFactors) {
    struct Row {
        float pixels, ppmm;
        int64_t unit;
        double expected;
    } rows[] = {
        {254, 10, UNIT_THOU, 25.4 * 39.37},  // 999.998: the written factor, not 1000/25.4
        {254, 10, UNIT_INCHES, 1.0},
        {254, 10, UNIT_MILLIMETRES, 25.4},
        {254, 10, UNIT_MICRONS, 25400.0},
        {-99.9f, 10, UNIT_PIXELS, -99.0},
        {254, 10, -1, 25.4},
        {50, 0, UNIT_MILLIMETRES, 0.5},      // live document at 100 px/mm
    };
    for (const Row& r : rows) {
        Use_Unit(r.unit);
        EXPECT_NEAR(Convert_Length(r.pixels, r.ppmm), r.expected, 1e-9 * std::fabs(r.expected) + 1e-12)
            << r.pixels << " px, unit " << r.unit;
    }
}

}  // namespace
