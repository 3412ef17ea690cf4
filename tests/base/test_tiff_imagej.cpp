// Our TIFFs as ImageJ reads them: ImageJ (the Debian package imagej) opens
// every exported calibration in one batch run and reports its pixel size.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

#include "base/image_io.h"
#include "base/tiff_io.h"
#include "document/file_test_util.h"

using namespace file_test;

namespace {

const char* const IMAGEJ_JAR = "/usr/share/java/ij.jar";

TEST(TiffImageJ, ImageJReadsTheCalibrationWeWrite) {
    if (access(IMAGEJ_JAR, R_OK) != 0) GTEST_SKIP() << IMAGEJ_JAR << " is missing: install the Debian package imagej";
    Temp_Folder temp;
    std::string folder = temp.Path;
    ASSERT_FALSE(folder.empty());
    struct Case {
        int64_t unit;
        double ppmm;
        const char* imagej_unit;  // as getPixelSize names it
        double pixel_size;        // in that unit
    } cases[] = {
        {0, 400, "microns", 2.5},          {1, 400, "mil", 1 / (400 * 0.0254)}, {2, 400, "mm", 0.0025},
        {3, 400, "inches", 1 / 10160.0},   {4, 400, "pixels", 1},               {2, 0, "pixels", 1},
        {-1, 400, "\xC2\xB5m", 2.5},       {0, 0.001, "microns", 1e6},          {2, 5e7, "mm", 2e-8},
    };
    std::string list;
    const size_t count = sizeof cases / sizeof cases[0];
    for (size_t i = 0; i < count; i++) {
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(Encode_Tiff(Pattern_Picture(6, 4), cases[i].ppmm, cases[i].unit, &bytes));
        std::string path = folder + "/" + std::to_string(i) + ".tif";
        ASSERT_TRUE(Write_File_Atomically(path, bytes));
        list += (i ? "," : "") + path;
    }
    const std::string macro = folder + "/sizes.ijm";
    Write_Whole_File(macro,
              "files = split(getArgument(), \",\");\n"
              "for (i = 0; i < files.length; i++) {\n"
              "  open(files[i]);\n"
              "  getPixelSize(unit, pw, ph);\n"
              "  print(\"size \" + i + \" \" + unit + \" \" + d2s(pw, -9) + \" \" + d2s(ph, -9));\n"
              "  close();\n"
              "}\n");
    // The JVM starts slowly on a loaded machine: a generous limit, and
    // ImageJ's preferences kept in the test's folder.
    const char* display = getenv("DISPLAY");
    std::string command = std::string(display && *display ? "" : "xvfb-run -a ") +
                          "timeout 600 java -Duser.home=" + folder + " -jar " + IMAGEJ_JAR + " -batch " + macro +
                          " " + list + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string output;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
    int status = pclose(pipe);
    EXPECT_EQ(status, 0) << output;
    std::map<size_t, std::pair<std::string, double>> seen;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string tag, unit, pw, ph;
        size_t index = 0;
        if (words >> tag >> index >> unit >> pw >> ph && tag == "size") {
            EXPECT_EQ(pw, ph) << line;
            seen[index] = {unit, std::strtod(pw.c_str(), nullptr)};
        }
    }
    for (size_t i = 0; i < count; i++) {
        const Case& c = cases[i];
        std::string what = "unit " + std::to_string(c.unit) + " at " + std::to_string(c.ppmm) + " px/mm";
        ASSERT_TRUE(seen.count(i)) << what << "\n" << output;
        EXPECT_EQ(seen[i].first, c.imagej_unit) << what;
        EXPECT_NEAR(seen[i].second, c.pixel_size, c.pixel_size * 1e-6) << what;
    }
}

}  // namespace
