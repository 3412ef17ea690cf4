// The camera's own controls through V4L2 control ioctls on its device node.
// The 18 video properties map to V4L2 controls (some with a second control
// as their automatic flag); values are normalised from the control's
// minimum..maximum to 0.0..1.0 and back. A property the device lacks reads -1.
#pragma once

#include <cstdint>

struct v4l2_queryctrl;

// One property: the controls tried for its value (first one the device has
// wins; 0 ends the list) and the control that switches it to automatic (0 none).
struct V4L2_Property_Map {
    const char* Caption;
    uint32_t Value_Controls[2];
    uint32_t Auto_Control;
};
extern const V4L2_Property_Map V4L2_Property_Table[18];

// The ioctl used on the device node (::ioctl); tests answer from recorded data.
extern int (*V4L2_Ioctl)(int fd, unsigned long request, void* arg);

// ---- normalisation (q: the control's VIDIOC_QUERYCTRL answer)
float V4L2_To_Unit(const v4l2_queryctrl& q, int32_t raw);    // 0..1; 0 for an empty range
int32_t V4L2_From_Unit(const v4l2_queryctrl& q, float unit);  // on the control's step, within its range

// ---- property calls on an open device node (property 0..17)
float V4L2_Get_Property_Value(int fd, int property);  // 0..1, -1 when the device lacks it
int V4L2_Get_Property_Auto(int fd, int property);     // 1 automatic, 0 manual or no automatic control
// Automatic on: only the automatic control is set (the value control is
// usually locked meanwhile). Off: the automatic control first, then the value.
// False when the device refused a write or lacks the property.
bool V4L2_Set_Property(int fd, int property, float value, int automatic);
