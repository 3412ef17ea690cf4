#include "document/image_files.h"

#include <cmath>
#include <utility>

#include "base/image_io.h"
#include "base/tiff_io.h"
#include "document/doc_model.h"
#include "platform/platform.h"
#include "render/glip.h"

// ============================================================ export

std::string Export_File_Name(const std::string& typed, int filter_index) {
    const char* ending = filter_index == EXPORT_BMP ? ".bmp" : filter_index == EXPORT_PNG ? ".png" : ".jpg";
    if (Ends_With_No_Case(typed, ending)) return typed;
    return typed + ending;
}

bool Write_Export_File(const Picture& picture, int filter_index, const std::string& path) {
    std::vector<uint8_t> bytes;
    bool ok = false;
    if (filter_index == EXPORT_BMP)
        ok = Encode_Bmp24(picture, &bytes);
    else if (filter_index == EXPORT_PNG)
        ok = Encode_Png(picture, &bytes);
    else
        ok = Encode_Jpeg(picture, 70, &bytes);
    return ok && Write_File_Atomically(path, bytes);
}

void Export_Image(int64_t view) {
    if (Current_Job < 0 || Current_Job >= JOB_SLOTS) {
        Message_Box("Error", "No document selected", MSG_ICON_ERROR);
        return;
    }
    std::string typed;
    int filter = 0;
    if (!Save_File_Dialog("Please choose file to save", "", "Jpg|*.jpg|Bitmap|*.bmp|PNG|*.png", &typed, &filter))
        return;
    Picture picture;
    GLip_Read_Back(view, &picture, 0);
    std::string path = Export_File_Name(typed, filter);
    if (Write_Export_File(picture, filter, path))
        Message_Box("Success", "Saved image to:\n" + path, MSG_ICON_INFO);
    else
        Message_Box("Error", "Unable to save image file", MSG_ICON_ERROR);
}

// ============================================================ import

int64_t Picture_To_New_Document(const Picture& picture, double ppmm, int64_t unit) {
    if (!Picture_Is_Valid(picture)) return -1;
    int64_t slot = First_Free_Job();
    if (slot < 1) return -1;
    const Doc_Info& live = Jobs[0].Doc;
    Job_Slot& job = Jobs[slot];
    Doc_Info doc;
    doc.PPMM = std::isfinite(ppmm) && ppmm > 0 && ppmm < 3.4e38 ? (float)ppmm : live.PPMM;
    doc.Measure_Unit = unit >= 0 && unit <= 4 ? unit : live.Measure_Unit;
    doc.Processing = live.Processing;
    doc.TimeStamp = Local_Time_Seconds();
    doc.Resolution.x = picture.Width;
    doc.Resolution.y = picture.Height;
    doc.Image_Buffer = picture.Pixels;
    for (size_t i = 3; i < doc.Image_Buffer.size(); i += 4) doc.Image_Buffer[i] = 255;
    job.Doc = std::move(doc);
    job.File_Name.clear();
    job.Picture_File.clear();
    job.In_Use = 1;
    job.Image_Changed = 1;
    job.Changed = 0;  // the picture is still in its own file
    Make_Current_Job(slot);
    Mark_Job_List_Changed();
    Mark_Measurement_List_Changed();
    Select_Job_Later(slot);
    return slot;
}

bool Import_Image_File(const std::string& path, bool quiet) {
    std::vector<uint8_t> bytes;
    Picture picture;
    bool readable = Read_File_Bytes(path, MAX_PICTURE_FILE_BYTES, &bytes);
    // A TIFF is recognised by its content like the others, and brings its calibration.
    const bool tiff = readable && Is_Tiff(bytes.data(), bytes.size());
    Tiff_Calibration calibration;
    int32_t w = 0, h = 0;
    bool sized = readable && (tiff ? Tiff_Size(bytes.data(), bytes.size(), &w, &h)
                                   : Picture_Size(bytes.data(), bytes.size(), &w, &h));
    if (sized && w <= MAX_PICTURE_EDGE && h <= MAX_PICTURE_EDGE &&
        (uint64_t)w * (uint64_t)h * 4 > Pixel_Budget_Left()) {
        Message_Box("Error", Pixel_Budget_Message(), MSG_ICON_ERROR);
        return false;
    }
    bool decoded = readable && (tiff ? Decode_Tiff(bytes.data(), bytes.size(), MAX_PICTURE_EDGE, &picture, &calibration)
                                     : Decode_Picture(bytes.data(), bytes.size(), &picture));
    if (!decoded) {
        if (!quiet) Message_Box("Error", "Unable to load selected file", MSG_ICON_ERROR);
        return false;
    }
    if (Count_Open_Jobs() >= MAX_FROZEN_JOBS) {
        Message_Box("Error", "Loaded job limit reached, close some jobs to continue.", MSG_ICON_ERROR);
        return false;
    }
    int64_t slot = Picture_To_New_Document(picture, calibration.PPMM, calibration.Unit);
    if (slot < 1) return false;
    Jobs[slot].Picture_File = path;
    return true;
}

void Import_Image_Dialog() {
    std::string path;
    int filter = 0;
    if (!Open_File_Dialog("Please choose an image to load", "",
                          "PNG, BMP, JPEG, TIFF|*.png;*.bmp;*.jpg;*.jpeg;*.tif;*.tiff|PNG (*.png)|*.png|BMP (*.bmp)|*.bmp|"
                          "JPEG (*.jpg)|*.jpg|TIFF (*.tif)|*.tif;*.tiff",
                          &path, &filter))
        return;
    Import_Image_File(path, false);
}
