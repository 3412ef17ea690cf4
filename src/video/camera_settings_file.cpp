#include "video/camera_settings_file.h"

#include <vector>

#include "base/app_state.h"
#include "base/image_io.h"
#include "document/doc_json.h"
#include "platform/platform.h"
#include "video/camera_settings.h"

Video_Settings Camera_Settings;

// A settings file is a few kilobytes; anything far larger is not one.
static const size_t MAX_SETTINGS_FILE_BYTES = (size_t)16 * 1024 * 1024;

std::string Camera_Settings_File_Name(const std::string& typed) {
    if (Ends_With_No_Case(typed, ".VSF")) return typed;
    return typed + ".VSF";
}

void Save_Camera_Settings() {
    std::string name;
    int filter = 0;
    if (!Save_File_Dialog("Please choose file name", "", "vsf|*.vsf", &name, &filter)) return;
    name = Camera_Settings_File_Name(name);
    if (File_Exists(name) && Message_Box("Error", "File already exists,overwrite?", MSG_YES_NO) != 1) return;
    if (Write_File_Atomically(name, Video_Settings_To_Json(Camera_Settings)))
        Message_Box("Success", "Video Settings Saved", MSG_ICON_INFO);
    else
        Message_Box("Error", "Unable to create file", MSG_ICON_ERROR);
}

void Load_Camera_Settings() {
    std::string path;
    int filter = 0;
    if (!Open_File_Dialog("Choose file to load", "", "vsf|*.vsf", &path, &filter)) return;
    if (!File_Exists(path)) return;
    std::vector<uint8_t> bytes;
    Video_Settings loaded;
    if (!Read_File_Bytes(path, MAX_SETTINGS_FILE_BYTES, &bytes) ||
        !Json_To_Video_Settings(std::string(bytes.begin(), bytes.end()), &loaded)) {
        Message_Box("Error", "Unable to load file", MSG_ICON_ERROR);
        return;
    }
    Camera_Settings = loaded;
    if (Camera_Settings.Device != Last_Device)
        Message_Box("Warning", "Video Settings generated from a different device: " + Camera_Settings.Device,
                    MSG_ICON_WARNING);
    Mark_Camera_Settings_Changed();
}
