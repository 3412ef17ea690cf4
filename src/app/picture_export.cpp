#include "app/picture_export.h"

#include "app/control_ids.h"
#include "base/image_io.h"
#include "base/picture.h"
#include "base/tiff_io.h"
#include "document/doc_file.h"
#include "document/doc_model.h"
#include "measure/calibration_list.h"
#include "measure/picture_render.h"
#include "measure/units.h"
#include "platform/platform.h"

const char* const Picture_Export_Filter = "PNG|*.png|TIFF|*.tif;*.tiff";

std::string Picture_Export_Name(const std::string& typed, int filter_index, int* format) {
    if (Ends_With_No_Case(typed, ".png")) {
        *format = PICTURE_EXPORT_PNG;
        return typed;
    }
    if (Ends_With_No_Case(typed, ".tif") || Ends_With_No_Case(typed, ".tiff")) {
        *format = PICTURE_EXPORT_TIFF;
        return typed;
    }
    *format = filter_index == PICTURE_EXPORT_TIFF ? PICTURE_EXPORT_TIFF : PICTURE_EXPORT_PNG;
    return typed + (*format == PICTURE_EXPORT_TIFF ? ".tif" : ".png");
}

bool Write_Document_Picture(const Doc_Info& doc, const Picture& picture, const Picture_Render_Options& options,
                            int format, const std::string& path) {
    // The factory calibration is no measurement: such a picture gets a bar
    // in pixels and a TIFF without a scale, while its labels stay as the
    // document shows them.
    const bool uncalibrated = Is_Uncalibrated(doc.PPMM);
    Picture_Render_Options first = options;
    if (uncalibrated) first.Scale_Bar = 0;
    Picture drawn;
    if (!Render_Document_Picture(doc, picture, first, &drawn)) return false;
    if (uncalibrated && options.Scale_Bar) {
        Doc_Info in_pixels;
        in_pixels.PPMM = 0;
        in_pixels.Measure_Unit = UNIT_PIXELS;
        Picture_Render_Options bar_only;
        bar_only.Overlay = 0;
        Picture with_bar;
        if (!Render_Document_Picture(in_pixels, drawn, bar_only, &with_bar)) return false;
        drawn = std::move(with_bar);
    }
    std::vector<uint8_t> bytes;
    bool ok = format == PICTURE_EXPORT_TIFF
                  ? Encode_Tiff(drawn, uncalibrated ? 0.0 : doc.PPMM, doc.Measure_Unit, &bytes)
                  : Encode_Png(drawn, &bytes);
    return ok && Write_File_Atomically(path, bytes);
}

void Export_Picture() {
    Job_Slot* slot = Current_Slot();
    if (Current_Job < 0 || !slot) {
        Message_Box("Error", "No document selected", MSG_ICON_ERROR);
        return;
    }
    std::string typed;
    int filter = 0;
    if (!Save_File_Dialog("Please choose file to save", "", Picture_Export_Filter, &typed, &filter)) return;
    int format = PICTURE_EXPORT_PNG;
    std::string path = Picture_Export_Name(typed, filter, &format);
    Picture picture;
    Buffer_To_Image(&picture);
    Picture_Render_Options options;
    // Placed tools are shown on frozen documents only, as in the view.
    options.Overlay = Current_Job > 0 && Get_State(CTL_EXPORT_OVERLAY) == 1;
    options.Scale_Bar = Get_State(CTL_EXPORT_SCALE_BAR) == 1;
    if (Write_Document_Picture(slot->Doc, picture, options, format, path))
        Message_Box("Success", "Saved image to:\n" + path, MSG_ICON_INFO);
    else
        Message_Box("Error", "Unable to save image file", MSG_ICON_ERROR);
}
