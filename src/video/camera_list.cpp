#include "video/camera_list.h"

#include <gst/gst.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <mutex>

namespace {

std::vector<Camera_Info> Test_Cameras;

void Add_Size(int w, int h, std::vector<std::pair<int, int>>* sizes) {
    if (w <= 0 || h <= 0) return;
    for (const auto& s : *sizes)
        if (s.first == w && s.second == h) return;
    sizes->push_back({w, h});
}

// Fixed sizes of every structure; a list of values counts each one, a range
// its largest size (a camera driver that offers ranges scales anyway).
void Sizes_Of(const GstStructure* st, std::vector<std::pair<int, int>>* sizes) {
    const GValue* wv = gst_structure_get_value(st, "width");
    const GValue* hv = gst_structure_get_value(st, "height");
    if (!wv || !hv) return;
    auto one = [](const GValue* v) {
        if (G_VALUE_HOLDS_INT(v)) return g_value_get_int(v);
        if (GST_VALUE_HOLDS_INT_RANGE(v)) return gst_value_get_int_range_max(v);
        return 0;
    };
    if (GST_VALUE_HOLDS_LIST(wv) && GST_VALUE_HOLDS_LIST(hv) && gst_value_list_get_size(wv) == gst_value_list_get_size(hv)) {
        for (guint i = 0; i < gst_value_list_get_size(wv); i++)
            Add_Size(one(gst_value_list_get_value(wv, i)), one(gst_value_list_get_value(hv, i)), sizes);
        return;
    }
    Add_Size(one(wv), one(hv), sizes);
}

std::string Node_Of(GstDevice* device) {
    GstStructure* props = gst_device_get_properties(device);
    std::string node;
    if (props) {
        for (const char* key : {"api.v4l2.path", "device.path"}) {
            const char* v = gst_structure_get_string(props, key);
            if (v && *v) {
                node = v;
                break;
            }
        }
        gst_structure_free(props);
    }
    return node;
}

bool Is_Node(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

}  // namespace

bool Gstreamer_Ready(std::string* error) {
    static std::once_flag once;
    static bool ready = false;
    static std::string why;
    std::call_once(once, [] {
        GError* err = nullptr;
        ready = gst_init_check(nullptr, nullptr, &err);
        if (!ready) why = err && err->message ? err->message : "GStreamer could not be initialised";
        if (err) g_error_free(err);
    });
    if (error) *error = why;
    return ready;
}

std::vector<Camera_Info> List_Cameras() {
    std::vector<Camera_Info> list;
    if (Gstreamer_Ready()) {
        GstDeviceMonitor* monitor = gst_device_monitor_new();
        gst_device_monitor_add_filter(monitor, "Video/Source", nullptr);
        GList* devices = gst_device_monitor_get_devices(monitor);
        for (GList* d = devices; d; d = d->next) {
            GstDevice* device = GST_DEVICE(d->data);
            Camera_Info c;
            gchar* name = gst_device_get_display_name(device);
            c.Name = name ? name : "";
            g_free(name);
            c.Node = Node_Of(device);
            // The same node may be offered by more than one provider.
            bool seen = false;
            for (const Camera_Info& o : list) seen |= !c.Node.empty() && o.Node == c.Node;
            if (seen) continue;
            if (!c.Node.empty()) {
                c.Source = "v4l2src device=" + c.Node;
            } else {
                c.Device = gst_object_ref(device);
            }
            std::vector<std::pair<int, int>> sizes;
            GstCaps* caps = gst_device_get_caps(device);
            if (caps) {
                for (guint i = 0; i < gst_caps_get_size(caps); i++) Sizes_Of(gst_caps_get_structure(caps, i), &sizes);
                gst_caps_unref(caps);
            }
            std::sort(sizes.begin(), sizes.end(), [](const std::pair<int, int>& a, const std::pair<int, int>& b) {
                return (int64_t)a.first * a.second > (int64_t)b.first * b.second ||
                       ((int64_t)a.first * a.second == (int64_t)b.first * b.second && a.first > b.first);
            });
            for (const auto& s : sizes) c.Resolutions.push_back(std::to_string(s.first) + "x" + std::to_string(s.second));
            list.push_back(c);
        }
        g_list_free_full(devices, gst_object_unref);
        gst_object_unref(monitor);
    }
    for (const Camera_Info& t : Test_Cameras) list.push_back(t);
    return list;
}

void Add_Test_Camera(const Camera_Info& info) { Test_Cameras.push_back(info); }
void Clear_Test_Cameras() { Test_Cameras.clear(); }

bool Find_Camera(const std::string& source, Camera_Info* found) {
    *found = Camera_Info();
    if (source.compare(0, 4, "gst:") == 0) {
        found->Name = source;
        found->Source = source.substr(4);
        return !found->Source.empty();
    }
    bool node = source.compare(0, 1, "/") == 0;
    if (node && !Is_Node(source)) return false;
    for (Camera_Info& c : List_Cameras()) {
        if (node ? c.Node == source : c.Name == source) {
            *found = c;
            return true;
        }
    }
    if (!node) return false;
    // A node the monitor did not report (no permission to probe it, say): try it anyway.
    found->Name = source;
    found->Node = source;
    found->Source = "v4l2src device=" + source;
    return true;
}

bool Parse_Resolution(const std::string& text, int32_t* width, int32_t* height) {
    int64_t side[2] = {0, 0};
    size_t i = 0;
    for (int k = 0; k < 2; k++) {
        size_t start = i;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9' && i - start < 6) side[k] = side[k] * 10 + (text[i++] - '0');
        if (i == start || side[k] < 1 || side[k] > CAMERA_MAX_SIDE) return false;
        if (k == 1) break;
        while (i < text.size() && text[i] == ' ') i++;
        if (i >= text.size() || (text[i] != 'x' && text[i] != 'X')) return false;
        i++;
        while (i < text.size() && text[i] == ' ') i++;
    }
    if (i != text.size()) return false;
    *width = (int32_t)side[0];
    *height = (int32_t)side[1];
    return true;
}

std::string Resolution_Caption(int32_t width, int32_t height) {
    int64_t a = width, b = height;
    while (b > 0) {
        int64_t t = a % b;
        a = b;
        b = t;
    }
    std::string size = std::to_string(width) + " x " + std::to_string(height);
    if (a <= 0) return size;
    int64_t n = width / a, d = height / a;
    // Named as the trade names them, not as the reduced fraction 8:5.
    if (n == 8 && d == 5) n = 16, d = 10;
    return size + " (" + std::to_string(n) + ":" + std::to_string(d) + ")";
}

std::string Camera_Line(const Camera_Info& camera) {
    std::string line = camera.Name;
    if (!camera.Node.empty()) line += " (" + camera.Node + ")";
    line += ":";
    for (const std::string& r : camera.Resolutions) line += " " + r;
    return line;
}

int List_Cameras_Command() {
    std::string error;
    if (!Gstreamer_Ready(&error)) {
        fprintf(stderr, "trellum: %s\n", error.c_str());
        return 1;
    }
    std::vector<Camera_Info> cameras = List_Cameras();
    for (const Camera_Info& c : cameras) printf("%s\n", Camera_Line(c).c_str());
    if (cameras.empty()) fprintf(stderr, "trellum: no cameras found\n");
    return 0;
}
