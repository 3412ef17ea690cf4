#include "video/v4l2_controls.h"

#include <linux/videodev2.h>
#include <sys/ioctl.h>

#include <cmath>
#include <cstring>
#include <initializer_list>

static int System_Ioctl(int fd, unsigned long request, void* arg) { return ioctl(fd, request, arg); }
int (*V4L2_Ioctl)(int fd, unsigned long request, void* arg) = System_Ioctl;

const V4L2_Property_Map V4L2_Property_Table[18] = {
    {"Brightness", {V4L2_CID_BRIGHTNESS, 0}, 0},
    {"Contrast", {V4L2_CID_CONTRAST, 0}, 0},
    {"Hue", {V4L2_CID_HUE, 0}, V4L2_CID_HUE_AUTO},
    {"Saturation", {V4L2_CID_SATURATION, 0}, 0},
    {"Sharpness", {V4L2_CID_SHARPNESS, 0}, 0},
    {"Gamma", {V4L2_CID_GAMMA, 0}, 0},
    {"ColorEnable", {0, 0}, 0},  // V4L2 has no plain colour switch
    {"WhiteBalance", {V4L2_CID_WHITE_BALANCE_TEMPERATURE, 0}, V4L2_CID_AUTO_WHITE_BALANCE},
    {"BacklightCompensation", {V4L2_CID_BACKLIGHT_COMPENSATION, 0}, 0},
    {"Gain", {V4L2_CID_GAIN, 0}, V4L2_CID_AUTOGAIN},
    {"Pan", {V4L2_CID_PAN_ABSOLUTE, 0}, 0},
    {"Tilt", {V4L2_CID_TILT_ABSOLUTE, 0}, 0},
    {"Roll", {0, 0}, 0},
    {"Zoom", {V4L2_CID_ZOOM_ABSOLUTE, 0}, 0},
    {"Exposure", {V4L2_CID_EXPOSURE_ABSOLUTE, V4L2_CID_EXPOSURE}, V4L2_CID_EXPOSURE_AUTO},
    {"Iris", {V4L2_CID_IRIS_ABSOLUTE, 0}, 0},
    {"Focus", {V4L2_CID_FOCUS_ABSOLUTE, 0}, V4L2_CID_FOCUS_AUTO},
    {"Prop_Max", {0, 0}, 0},
};

namespace {

bool Query(int fd, uint32_t id, v4l2_queryctrl* q) {
    if (id == 0 || fd < 0) return false;
    memset(q, 0, sizeof *q);
    q->id = id;
    if (V4L2_Ioctl(fd, VIDIOC_QUERYCTRL, q) != 0) return false;
    // Some drivers answer for the next control instead of failing.
    return q->id == id && !(q->flags & V4L2_CTRL_FLAG_DISABLED);
}

bool Get(int fd, uint32_t id, int32_t* value) {
    v4l2_control c = {};
    c.id = id;
    if (V4L2_Ioctl(fd, VIDIOC_G_CTRL, &c) != 0) return false;
    *value = c.value;
    return true;
}

bool Put(int fd, const v4l2_queryctrl& q, int32_t value) {
    if (q.flags & V4L2_CTRL_FLAG_READ_ONLY) return false;
    v4l2_control c = {};
    c.id = q.id;
    c.value = value;
    return V4L2_Ioctl(fd, VIDIOC_S_CTRL, &c) == 0;
}

bool Menu_Item_Exists(int fd, const v4l2_queryctrl& q, int32_t index) {
    if (index < q.minimum || index > q.maximum) return false;
    if (q.type != V4L2_CTRL_TYPE_MENU && q.type != V4L2_CTRL_TYPE_INTEGER_MENU) return true;
    v4l2_querymenu m = {};
    m.id = q.id;
    m.index = (uint32_t)index;
    return V4L2_Ioctl(fd, VIDIOC_QUERYMENU, &m) == 0;
}

// A menu has gaps (a camera without manual exposure lacks item 1): the
// nearest item the device offers, upwards first.
int32_t Nearest_Menu_Item(int fd, const v4l2_queryctrl& q, int32_t wanted) {
    for (int32_t d = 0; d <= q.maximum - q.minimum; d++) {
        if (Menu_Item_Exists(fd, q, wanted + d)) return wanted + d;
        if (Menu_Item_Exists(fd, q, wanted - d)) return wanted - d;
    }
    return wanted;
}

// The value control of a property, or false when the device has none.
bool Value_Control(int fd, int property, v4l2_queryctrl* q) {
    if (property < 0 || property >= 18) return false;
    for (uint32_t id : V4L2_Property_Table[property].Value_Controls)
        if (Query(fd, id, q)) return true;
    return false;
}

bool Auto_Control(int fd, int property, v4l2_queryctrl* q) {
    if (property < 0 || property >= 18) return false;
    return Query(fd, V4L2_Property_Table[property].Auto_Control, q);
}

// Exposure's automatic control is a menu (manual, automatic, shutter or
// aperture priority); the others are booleans.
bool Auto_Is_On(const v4l2_queryctrl& q, int32_t raw) {
    if (q.id == V4L2_CID_EXPOSURE_AUTO) return raw != V4L2_EXPOSURE_MANUAL;
    return raw != 0;
}

bool Set_Auto(int fd, const v4l2_queryctrl& q, bool on) {
    if (q.id != V4L2_CID_EXPOSURE_AUTO) return Put(fd, q, on ? 1 : 0);
    if (!on) return Menu_Item_Exists(fd, q, V4L2_EXPOSURE_MANUAL) && Put(fd, q, V4L2_EXPOSURE_MANUAL);
    // UVC cameras mostly offer aperture priority as their automatic mode.
    for (int32_t mode : {(int32_t)V4L2_EXPOSURE_APERTURE_PRIORITY, (int32_t)V4L2_EXPOSURE_AUTO,
                         (int32_t)V4L2_EXPOSURE_SHUTTER_PRIORITY})
        if (Menu_Item_Exists(fd, q, mode)) return Put(fd, q, mode);
    return false;
}

}  // namespace

float V4L2_To_Unit(const v4l2_queryctrl& q, int32_t raw) {
    double range = (double)q.maximum - (double)q.minimum;
    if (!(range > 0)) return 0.0f;
    double u = ((double)raw - (double)q.minimum) / range;
    return (float)(u < 0 ? 0 : u > 1 ? 1 : u);
}

int32_t V4L2_From_Unit(const v4l2_queryctrl& q, float unit) {
    double u = std::isfinite(unit) ? (unit < 0 ? 0.0 : unit > 1 ? 1.0 : (double)unit) : 0.0;
    double range = (double)q.maximum - (double)q.minimum;
    if (!(range > 0)) return q.minimum;
    double step = q.step > 0 ? (double)q.step : 1.0;
    double raw = (double)q.minimum + std::nearbyint(u * range / step) * step;
    if (raw > q.maximum) raw -= step;  // the last step may not reach the maximum
    if (raw < q.minimum) raw = q.minimum;
    return (int32_t)raw;
}

float V4L2_Get_Property_Value(int fd, int property) {
    v4l2_queryctrl q;
    int32_t raw = 0;
    if (!Value_Control(fd, property, &q) || !Get(fd, q.id, &raw)) return -1.0f;
    return V4L2_To_Unit(q, raw);
}

int V4L2_Get_Property_Auto(int fd, int property) {
    v4l2_queryctrl q;
    int32_t raw = 0;
    if (!Auto_Control(fd, property, &q) || !Get(fd, q.id, &raw)) return 0;
    return Auto_Is_On(q, raw) ? 1 : 0;
}

bool V4L2_Set_Property(int fd, int property, float value, int automatic) {
    v4l2_queryctrl value_q, auto_q;
    bool has_value = Value_Control(fd, property, &value_q);
    bool has_auto = Auto_Control(fd, property, &auto_q);
    if (!has_value && !has_auto) return false;
    if (automatic && has_auto) return Set_Auto(fd, auto_q, true);
    bool ok = true;
    if (has_auto) ok = Set_Auto(fd, auto_q, false);
    if (!has_value) return false;
    int32_t raw = V4L2_From_Unit(value_q, value);
    if (value_q.type == V4L2_CTRL_TYPE_MENU || value_q.type == V4L2_CTRL_TYPE_INTEGER_MENU)
        raw = Nearest_Menu_Item(fd, value_q, raw);
    return Put(fd, value_q, raw) && ok;
}
