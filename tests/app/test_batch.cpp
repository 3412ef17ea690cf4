// Batch pictures from saved documents, without a display.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

#include "base/app_state.h"
#include "app/calibration_panel.h"
#include "app/command_line.h"
#include "app/job_list.h"
#include "app/prefs.h"
#include "app/main_loop.h"
#include "app/picture_export.h"
#include "app/readout_panel.h"
#include "app/splash.h"
#include "app/status_bar.h"
#include "app/video_settings_window.h"
#include "base/debug_log.h"
#include "base/image_io.h"
#include "base/tiff_io.h"
#include "document/doc_file.h"
#include "measure/snapping.h"
#include "support/null_fixture.h"
#include "support/temp_folder.h"
#include "measure/calibration.h"
#include "measure/readouts.h"
#include "video/camera_settings.h"
#include "video/camera_settings_file.h"
#include "video/capture_thread.h"
#include "video/emulator.h"

namespace {

// The real program without a display: one PNG per document with its scale
// bar; a file that cannot be read is named on stderr with the reason, the
// others are still written, and the exit code is 1.
TEST(Batch_Pictures, One_Png_Per_Document_And_Unreadable_Files_Named) {
    Temp_Folder folder;
    ASSERT_FALSE(folder.Path.empty());
    auto save = [&](const std::string& name, int32_t w, int32_t h, float ppmm, int64_t unit) {
        Doc_Info doc;
        doc.Resolution.x = w, doc.Resolution.y = h;
        doc.PPMM = ppmm;
        doc.Measure_Unit = unit;
        Tool line;
        line.X_Start = 5, line.Y_Start = 20, line.X_End = 60, line.Y_End = 20, line.Colour = 0xFFFFFF;
        doc.Tools.push_back(line);
        Picture p;
        p.Width = w, p.Height = h;
        p.Pixels.assign((size_t)w * h * 4, 90);
        std::vector<uint8_t> bytes;
        ASSERT_TRUE(Build_Document_Archive(doc, p, &bytes));
        Write_Whole_File(folder.File(name), std::string(bytes.begin(), bytes.end()));
    };
    ASSERT_EQ(system(("mkdir -p '" + folder.File("a") + "' '" + folder.File("b") + "'").c_str()), 0);
    save("a/cells.jqv", 400, 300, 1000, 0);
    save("b/cells.JQV", 120, 80, 10, 4);
    Write_Whole_File(folder.File("broken.jqv"), "PK\3\4 not really");
    auto run = [&](const std::string& args) {
        std::string command = "cd '" + folder.Path + "' && env -u DISPLAY -u WAYLAND_DISPLAY XDG_CONFIG_HOME='" +
                              folder.File("config") + "' '" + TRELLUM_BINARY_DIR + "/trellum' " + args +
                              " >stdout.txt 2>stderr.txt";
        int status = system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    EXPECT_EQ(run("--export-picture out a/cells.jqv broken.jqv missing.jqv a b/cells.JQV"), 1);
    std::string errors = Read_Whole_File(folder.File("stderr.txt"));
    EXPECT_NE(errors.find("trellum: broken.jqv: not a "), std::string::npos) << errors;
    EXPECT_NE(errors.find("missing.jqv: No such file or directory\n"), std::string::npos) << errors;
    EXPECT_NE(errors.find("trellum: a: is a folder"), std::string::npos) << errors;
    EXPECT_EQ(errors.find("cells"), std::string::npos) << errors;
    EXPECT_EQ(Read_Whole_File(folder.File("stdout.txt")), "out/cells.png\nout/cells-2.png\n");
    struct Expect {
        const char* file;
        int32_t w, h;
    } expected[] = {{"out/cells.png", 400, 300}, {"out/cells-2.png", 120, 80}};
    for (const Expect& e : expected) {
        std::string bytes = Read_Whole_File(folder.File(e.file));
        Picture p;
        ASSERT_TRUE(Decode_Picture((const uint8_t*)bytes.data(), bytes.size(), &p)) << e.file;
        EXPECT_EQ(p.Width * 1000 + p.Height, e.w * 1000 + e.h) << e.file;
        EXPECT_EQ(p.Pixels[((size_t)20 * p.Width + 30) * 4], 255 - 90) << e.file << ": the overlay";
        // The bar: white pixels in the bottom-right fifth, none in the top-left one.
        auto whites = [&](int x0, int y0, int x1, int y1) {
            int n = 0;
            for (int y = y0; y < y1; y++)
                for (int x = x0; x < x1; x++) n += p.Pixels[((size_t)y * p.Width + x) * 4 + 1] == 255;
            return n;
        };
        EXPECT_GT(whites(e.w * 3 / 5, e.h * 3 / 4, e.w, e.h), e.w / 20) << e.file;
        EXPECT_EQ(whites(0, e.h / 2, e.w / 3, e.h), 0) << e.file;
    }
    EXPECT_FALSE(File_Exists(folder.File("config"))) << "the batch writes no preferences";
    EXPECT_FALSE(File_Exists(folder.File("Logs"))) << "and no debug log";
    EXPECT_EQ(run("--export-picture out2 a/cells.jqv"), 0);
    EXPECT_TRUE(File_Exists(folder.File("out2/cells.png")));
    EXPECT_EQ(run("--export-picture out3"), 2) << "no files: a usage error";
    Write_Whole_File(folder.File("plain"), "x");
    EXPECT_EQ(run("--export-picture plain a/cells.jqv"), 1) << "the output is not a folder";
    EXPECT_NE(Read_Whole_File(folder.File("stderr.txt")).find("plain is not a folder"), std::string::npos);

    // Files this run did not write stay, unless --overwrite; an output that
    // is an input (here through a hard link) stops the run before it writes.
    Write_Whole_File(folder.File("a/cells.png"), "the user's own picture");
    ASSERT_EQ(system(("mkdir '" + folder.File("out4") + "' && ln '" + folder.File("b/cells.JQV") + "' '" +
                      folder.File("out4/cells-2.png") + "'").c_str()),
              0);
    struct Rerun {
        std::string args;
        int exit_code;
        std::string written, error;  // stdout; a part of stderr ("" none)
    } reruns[] = {
        {"--export-picture a a/cells.jqv", 1, "", "a/cells.png exists already"},
        {"--export-picture out2 a/cells.jqv b/cells.JQV", 1, "out2/cells-2.png\n", "out2/cells.png exists already"},
        {"--export-picture out2 --overwrite a/cells.jqv", 0, "out2/cells.png\n", ""},
        {"--export-picture out4 --overwrite a/cells.jqv b/cells.JQV", 2, "", "out4/cells-2.png: is the input file b/cells.JQV"},
        {"--export-picture out5 --format tiff b/cells.JQV", 0, "out5/cells.tif\n", ""},
    };
    const std::string user_picture = Read_Whole_File(folder.File("a/cells.png"));
    const std::string input = Read_Whole_File(folder.File("b/cells.JQV"));
    for (const Rerun& r : reruns) {
        EXPECT_EQ(run(r.args), r.exit_code) << r.args;
        EXPECT_EQ(Read_Whole_File(folder.File("stdout.txt")), r.written) << r.args;
        const std::string err = Read_Whole_File(folder.File("stderr.txt"));
        if (r.error.empty()) {
            EXPECT_EQ(err, "") << r.args;
        } else {
            EXPECT_NE(err.find(r.error), std::string::npos) << r.args << "\n" << err;
        }
    }
    EXPECT_EQ(Read_Whole_File(folder.File("a/cells.png")), user_picture);
    EXPECT_EQ(Read_Whole_File(folder.File("b/cells.JQV")), input);
    EXPECT_FALSE(File_Exists(folder.File("out4/cells.png"))) << "nothing written before the refusal";
    std::string tiff = Read_Whole_File(folder.File("out5/cells.tif"));
    Picture p;
    Tiff_Calibration calibration;
    ASSERT_TRUE(Decode_Tiff((const uint8_t*)tiff.data(), tiff.size(), MAX_PICTURE_EDGE, &p, &calibration));
    EXPECT_EQ(p.Width * 1000 + p.Height, 120 * 1000 + 80);
}

}  // namespace
