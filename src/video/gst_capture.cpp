#include "video/gst_capture.h"

#include <fcntl.h>
#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gst/video/video.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "video/capture_thread.h"
#include "video/v4l2_controls.h"

bool Gst_Capture_Free_Running = false;

namespace {

struct Source_Entry {
    Camera_Info Camera;
    std::string Resolution;
};

struct Open_Source {
    int64_t Device = -1;
    GstElement* Pipeline = nullptr;
    GstElement* Sink = nullptr;
    GstBus* Bus = nullptr;
    Capture_Params Target;
    int Fd = -1;           // device node for the controls
    bool Done = false;     // the requested frame is in the target
    bool Lost = false;     // error or end of stream seen
    GstCaps* Caps = nullptr;  // caps of Info (compared by pointer: no parsing per frame)
    GstVideoInfo Info;
    // Info to BGRA of Out's size, writing straight into the frame target.
    GstVideoConverter* Converter = nullptr;
    GstVideoInfo Out;
    // The target buffers wrapped for the converter, once each: the frame
    // target alternates between two buffers (it is exchanged with the live
    // picture). Forgotten whenever the size changes.
    GstBuffer* Wrapped[2] = {nullptr, nullptr};
    int32_t* Wrapped_Data[2] = {nullptr, nullptr};
    int Next_Wrap = 0;
};

// Every call comes from the capture-library wrappers under their lock (the
// open and the close from the capture thread), so this state needs no lock
// of its own. Allocated once and never freed: a
// detached capture thread may still close a source while the process ends.
struct Component {
    std::vector<Source_Entry> Sources;
    Open_Source Open;
    Gst_Open_Result Result = GST_OPEN_OK;
    std::string Result_Text;
    std::mutex Error_Lock;  // Stream_Error and Running are used by the main thread
    std::string Stream_Error;
    GstElement* Running = nullptr;  // Open.Pipeline, for Gst_Capture_Set_Caps
};
Component& C() {
    static Component* c = new Component();
    return *c;
}

// Each wait of the open polls every 50 ms, so that a stop (video off, the
// program ending) cancels a start that hangs within that time.
const int64_t START_TIMEOUT_MS = 10000;
const char* const Cancelled_Text = "the start was cancelled";
const int64_t STOP_TIMEOUT_MS = 3000;

std::string Tail_Text() {
    std::string sink = Gst_Capture_Free_Running ? " sync=false max-buffers=1 drop=false"
                                                : " sync=true max-buffers=1 drop=true";
    // Decoded frames as they come, at their own size: the component converts
    // each one to BGRA straight into the frame target (Copy_Frame), pixel for
    // pixel, instead of a converter element writing a buffer that is then copied.
    return "decodebin ! appsink name=trellum_sink emit-signals=false caps=video/x-raw" + sink;
}

std::string Size_Caps(const std::string& resolution) {
    int32_t w = 0, h = 0;
    // Anything else (an old or hand-edited value) leaves the size to the camera.
    if (!Parse_Resolution(resolution, &w, &h)) return "";
    std::string size = ",width=" + std::to_string(w) + ",height=" + std::to_string(h);
    return "capsfilter caps=\"video/x-raw" + size + ";image/jpeg" + size + "\" ! ";
}

void Set_Result(Gst_Open_Result r, const std::string& text) {
    C().Result = r;
    C().Result_Text = text;
}

Gst_Open_Result Classify(GError* err) {
    if (err && err->domain == GST_RESOURCE_ERROR) {
        if (err->code == GST_RESOURCE_ERROR_BUSY) return GST_OPEN_BUSY;
        if (err->code == GST_RESOURCE_ERROR_NOT_FOUND) return GST_OPEN_NOT_FOUND;
    }
    return GST_OPEN_FAILED;
}

std::string Error_Text(GstMessage* msg, GError** out) {
    GError* err = nullptr;
    gchar* debug = nullptr;
    gst_message_parse_error(msg, &err, &debug);
    std::string text = err && err->message ? err->message : "error";
    g_free(debug);
    if (out)
        *out = err;
    else if (err)
        g_error_free(err);
    return text;
}

// Setting a pipeline to NULL may block on a device that vanished: it runs
// on a helper thread, and after STOP_TIMEOUT_MS the pipeline is left to it.
void Stop_Pipeline(GstElement* pipeline) {
    struct Wait {
        std::mutex M;
        std::condition_variable Cv;
        bool Done = false;
    };
    auto wait = std::make_shared<Wait>();
    std::thread([pipeline, wait] {
        gst_element_set_state(pipeline, GST_STATE_NULL);
        gst_object_unref(pipeline);
        std::lock_guard<std::mutex> lock(wait->M);
        wait->Done = true;
        wait->Cv.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(wait->M);
    wait->Cv.wait_for(lock, std::chrono::milliseconds(STOP_TIMEOUT_MS), [&] { return wait->Done; });
}

void Forget_Wrapped(Open_Source& o) {
    for (int i = 0; i < 2; i++) {
        if (o.Wrapped[i]) gst_buffer_unref(o.Wrapped[i]);
        o.Wrapped[i] = nullptr;
        o.Wrapped_Data[i] = nullptr;
    }
}

void Close_Open_Source() {
    Open_Source& o = C().Open;
    {
        std::lock_guard<std::mutex> lock(C().Error_Lock);
        C().Running = nullptr;
    }
    if (o.Sink) gst_object_unref(o.Sink);
    if (o.Bus) gst_object_unref(o.Bus);
    if (o.Caps) gst_caps_unref(o.Caps);
    Forget_Wrapped(o);
    if (o.Converter) gst_video_converter_free(o.Converter);
    if (o.Pipeline) Stop_Pipeline(o.Pipeline);
    if (o.Fd >= 0) close(o.Fd);
    o = Open_Source();
}

// Waits until the pipeline plays, or fails with the first error.
bool Wait_Playing(GstElement* pipeline, GstBus* bus) {
    GstStateChangeReturn r = gst_element_set_state(pipeline, GST_STATE_PLAYING);
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(START_TIMEOUT_MS);
    while (std::chrono::steady_clock::now() < until) {
        if (Capture_Open_Cancelled()) {
            Set_Result(GST_OPEN_FAILED, Cancelled_Text);
            return false;
        }
        GstMessage* msg = gst_bus_timed_pop_filtered(
            bus, r == GST_STATE_CHANGE_FAILURE ? 0 : 50 * GST_MSECOND,
            (GstMessageType)(GST_MESSAGE_ERROR | GST_MESSAGE_EOS | GST_MESSAGE_STATE_CHANGED));
        if (!msg) {
            if (r == GST_STATE_CHANGE_FAILURE) {
                Set_Result(GST_OPEN_FAILED, "the pipeline could not be started");
                return false;
            }
            continue;
        }
        bool ok = false, fail = false;
        if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
            GError* err = nullptr;
            std::string text = Error_Text(msg, &err);
            Set_Result(Classify(err), text);
            if (err) g_error_free(err);
            fail = true;
        } else if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
            Set_Result(GST_OPEN_FAILED, "the source ended before its first frame");
            fail = true;
        } else if (GST_MESSAGE_SRC(msg) == GST_OBJECT(pipeline)) {
            GstState old_state, new_state, pending;
            gst_message_parse_state_changed(msg, &old_state, &new_state, &pending);
            ok = new_state == GST_STATE_PLAYING;
        }
        gst_message_unref(msg);
        if (ok) return true;
        if (fail) return false;
    }
    Set_Result(GST_OPEN_FAILED, "the camera did not start within 10 s");
    return false;
}

// Waits for the first frame (dropped), so that a source that cannot
// deliver fails here, with its reason, instead of after the first request.
bool Wait_First_Frame(GstElement* sink, GstBus* bus) {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(START_TIMEOUT_MS);
    while (std::chrono::steady_clock::now() < until) {
        if (Capture_Open_Cancelled()) {
            Set_Result(GST_OPEN_FAILED, Cancelled_Text);
            return false;
        }
        if (GstMessage* msg = gst_bus_pop_filtered(bus, (GstMessageType)(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))) {
            if (GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR) {
                GError* err = nullptr;
                std::string text = Error_Text(msg, &err);
                Set_Result(Classify(err), text);
                if (err) g_error_free(err);
            } else {
                Set_Result(GST_OPEN_FAILED, "the source ended before its first frame");
            }
            gst_message_unref(msg);
            return false;
        }
        if (GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 50 * GST_MSECOND)) {
            gst_sample_unref(sample);
            return true;
        }
        if (gst_app_sink_is_eos(GST_APP_SINK(sink))) {
            Set_Result(GST_OPEN_FAILED, "the source ended before its first frame");
            return false;
        }
    }
    Set_Result(GST_OPEN_FAILED, "no frame within 10 s");
    return false;
}

int Init_Capture(unsigned int device, Capture_Params* params) {
    Component& c = C();
    std::string why;
    if (!Gstreamer_Ready(&why)) {
        Set_Result(GST_OPEN_FAILED, why);
        return 0;
    }
    if (device >= c.Sources.size() || !params ||
        (!params->Next_Frame && (!params->Buffer || params->Width <= 0 || params->Height <= 0))) {
        Set_Result(GST_OPEN_NOT_FOUND, "no such device");
        return 0;
    }
    if (c.Open.Pipeline) Close_Open_Source();
    const Source_Entry& s = c.Sources[device];
    GError* err = nullptr;
    GstElement* pipeline = nullptr;
    if (s.Camera.Device && s.Camera.Source.empty()) {
        // A device without a node (libcamera, say): its own element, then our part.
        pipeline = gst_pipeline_new("trellum_camera");
        GstElement* src = gst_device_create_element(GST_DEVICE(s.Camera.Device), nullptr);
        GstElement* rest = gst_parse_bin_from_description(
            (Size_Caps(s.Resolution) + Tail_Text()).c_str(), TRUE, &err);
        if (src && rest) {
            gst_bin_add_many(GST_BIN(pipeline), src, rest, nullptr);
            if (!gst_element_link(src, rest)) Set_Result(GST_OPEN_FAILED, "the device could not be linked");
        } else {
            if (src) gst_object_unref(src);
            if (rest) gst_object_unref(rest);
            gst_object_unref(pipeline);
            pipeline = nullptr;
        }
    } else {
        pipeline = gst_parse_launch(Gst_Pipeline_Text(s.Camera, s.Resolution).c_str(), &err);
    }
    if (err) {
        // gst_parse_launch may return a pipeline together with a recoverable error.
        Set_Result(GST_OPEN_FAILED, err->message ? err->message : "bad source description");
        g_error_free(err);
        if (pipeline) gst_object_unref(pipeline);
        return 0;
    }
    if (!pipeline) {
        Set_Result(GST_OPEN_FAILED, "the pipeline could not be built");
        return 0;
    }
    GstElement* sink = gst_bin_get_by_name(GST_BIN(pipeline), "trellum_sink");
    GstBus* bus = gst_element_get_bus(pipeline);
    if (!sink || !Wait_Playing(pipeline, bus) || !Wait_First_Frame(sink, bus)) {
        if (!sink) Set_Result(GST_OPEN_FAILED, "no frame sink in the pipeline");
        if (sink) gst_object_unref(sink);
        gst_object_unref(bus);
        Stop_Pipeline(pipeline);
        return 0;
    }
    Open_Source& o = c.Open;
    o.Device = device;
    o.Pipeline = pipeline;
    o.Sink = sink;
    o.Bus = bus;
    o.Target = *params;
    if (!s.Camera.Node.empty()) o.Fd = open(s.Camera.Node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    {
        std::lock_guard<std::mutex> lock(c.Error_Lock);
        c.Stream_Error.clear();
        c.Running = pipeline;
    }
    Set_Result(GST_OPEN_OK, "");
    return 1;
}

void Deinit_Capture(unsigned int device) {
    if (C().Open.Device == (int64_t)device) Close_Open_Source();
}

void Do_Capture(unsigned int device) {
    if (C().Open.Device == (int64_t)device) C().Open.Done = false;
}

// Takes pending bus messages; an error or the end of the stream loses the device.
void Check_Bus(Open_Source& o) {
    while (GstMessage* msg =
               gst_bus_pop_filtered(o.Bus, (GstMessageType)(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))) {
        std::string text = GST_MESSAGE_TYPE(msg) == GST_MESSAGE_ERROR ? Error_Text(msg, nullptr)
                                                                     : std::string("end of stream");
        gst_message_unref(msg);
        if (!o.Lost) {
            std::lock_guard<std::mutex> lock(C().Error_Lock);
            C().Stream_Error = text;
        }
        o.Lost = true;
    }
}

// A converter from `in` to BGRA of `out`'s size: the colours only when the
// sizes match.
GstVideoConverter* New_Converter(const GstVideoInfo& in, const GstVideoInfo& out) {
    GstStructure* config =
        gst_structure_new("trellum", GST_VIDEO_CONVERTER_OPT_THREADS, G_TYPE_UINT, (guint)GST_CONVERT_THREADS,
                          GST_VIDEO_CONVERTER_OPT_DITHER_METHOD, GST_TYPE_VIDEO_DITHER_METHOD, GST_VIDEO_DITHER_NONE,
                          // Each pixel takes the chroma sample it was delivered with: an interpolated
                          // one adds no detail the camera measured and costs a third of the frame's time.
                          GST_VIDEO_CONVERTER_OPT_CHROMA_MODE, GST_TYPE_VIDEO_CHROMA_MODE, GST_VIDEO_CHROMA_MODE_NONE,
                          nullptr);
    return gst_video_converter_new(const_cast<GstVideoInfo*>(&in), const_cast<GstVideoInfo*>(&out), config);
}

// The frame target as a buffer the converter can write (wrapped once per buffer).
GstBuffer* Wrapped_Target(Open_Source& o) {
    for (int i = 0; i < 2; i++)
        if (o.Wrapped[i] && o.Wrapped_Data[i] == o.Target.Buffer) return o.Wrapped[i];
    int i = o.Next_Wrap;
    o.Next_Wrap = 1 - i;
    if (o.Wrapped[i]) gst_buffer_unref(o.Wrapped[i]);
    size_t bytes = (size_t)o.Target.Width * o.Target.Height * 4;
    o.Wrapped[i] = gst_buffer_new_wrapped_full((GstMemoryFlags)0, o.Target.Buffer, bytes, 0, bytes, nullptr, nullptr);
    o.Wrapped_Data[i] = o.Target.Buffer;
    return o.Wrapped[i];
}

// The sample into the target, at the sample's size when the target can
// follow it. False: the frame is dropped (it could not be read or
// converted, or the target refused its size).
bool Copy_Frame(Open_Source& o, GstSample* sample) {
    GstCaps* caps = gst_sample_get_caps(sample);
    GstBuffer* buffer = gst_sample_get_buffer(sample);
    if (!caps || !buffer) return false;
    bool new_caps = caps != o.Caps;
    if (new_caps) {
        if (!gst_video_info_from_caps(&o.Info, caps)) return false;
        if (o.Caps) gst_caps_unref(o.Caps);
        o.Caps = gst_caps_ref(caps);
    }
    int32_t width = (int32_t)GST_VIDEO_INFO_WIDTH(&o.Info), height = (int32_t)GST_VIDEO_INFO_HEIGHT(&o.Info);
    int32_t old_w = o.Target.Width, old_h = o.Target.Height;
    if (o.Target.Next_Frame && !o.Target.Next_Frame(&o.Target, width, height)) return false;
    if (!o.Target.Buffer || o.Target.Width <= 0 || o.Target.Height <= 0) return false;
    if (o.Target.Width != old_w || o.Target.Height != old_h) Forget_Wrapped(o);
    if (new_caps || !o.Converter || GST_VIDEO_INFO_WIDTH(&o.Out) != o.Target.Width ||
        GST_VIDEO_INFO_HEIGHT(&o.Out) != o.Target.Height) {
        if (o.Converter) gst_video_converter_free(o.Converter);
        gst_video_info_set_format(&o.Out, GST_VIDEO_FORMAT_BGRA, (guint)o.Target.Width, (guint)o.Target.Height);
        // The converter changes the pixels only, never the timing or the field order.
        GST_VIDEO_INFO_FPS_N(&o.Out) = GST_VIDEO_INFO_FPS_N(&o.Info);
        GST_VIDEO_INFO_FPS_D(&o.Out) = GST_VIDEO_INFO_FPS_D(&o.Info);
        GST_VIDEO_INFO_PAR_N(&o.Out) = GST_VIDEO_INFO_PAR_N(&o.Info);
        GST_VIDEO_INFO_PAR_D(&o.Out) = GST_VIDEO_INFO_PAR_D(&o.Info);
        GST_VIDEO_INFO_INTERLACE_MODE(&o.Out) = GST_VIDEO_INFO_INTERLACE_MODE(&o.Info);
        o.Converter = New_Converter(o.Info, o.Out);
        if (!o.Converter) return false;
    }
    GstVideoFrame in, out;
    if (!gst_video_frame_map(&in, &o.Info, buffer, GST_MAP_READ)) return false;
    if (!gst_video_frame_map(&out, &o.Out, Wrapped_Target(o), GST_MAP_WRITE)) {
        gst_video_frame_unmap(&in);
        return false;
    }
    gst_video_converter_frame(o.Converter, &in, &out);
    gst_video_frame_unmap(&out);
    gst_video_frame_unmap(&in);
    // Alpha is always 255 in a picture. A YUV source without alpha gets it
    // from the conversion; from RGB with a padding byte (BGRx) or with alpha
    // the converter copies that byte, so it is set here.
    if (!GST_VIDEO_INFO_IS_YUV(&o.Info) || GST_VIDEO_INFO_HAS_ALPHA(&o.Info)) {
        uint32_t* px = reinterpret_cast<uint32_t*>(o.Target.Buffer);
        for (size_t i = 0, n = (size_t)o.Target.Width * o.Target.Height; i < n; i++) px[i] |= 0xFF000000u;
    }
    return true;
}

int Is_Capture_Done(unsigned int device) {
    Open_Source& o = C().Open;
    if (o.Device != (int64_t)device || !o.Pipeline) return 0;
    Check_Bus(o);
    if (o.Lost) return GST_CAPTURE_LOST;
    if (o.Done) return 1;
    {
        // Video was switched off while a frame was pending: that capture ends
        // now (the stop is carried out after it), leaving the picture alone.
        if (Capture_Stop_Requested()) return 1;
    }
    GstSample* sample = gst_app_sink_try_pull_sample(GST_APP_SINK(o.Sink), 0);
    if (!sample) return 0;
    {
        // The live picture is written only while the main loop waits for it
        // (not once video was switched off: the stop may still be pending).
        std::unique_lock<std::mutex> lock;
        if (Capture_Frame_Wanted(&lock)) o.Done = Copy_Frame(o, sample);
    }
    gst_sample_unref(sample);
    return o.Done ? 1 : 0;
}

int Count_Devices() { return (int)C().Sources.size(); }

void Device_Name(unsigned int device, char* name, int size) {
    if (!name || size <= 0) return;
    name[0] = 0;
    if (device < C().Sources.size()) snprintf(name, (size_t)size, "%s", C().Sources[device].Camera.Name.c_str());
}

int Control_Fd(unsigned int device) { return C().Open.Device == (int64_t)device ? C().Open.Fd : -1; }

float Property_Value(unsigned int device, int property) {
    int fd = Control_Fd(device);
    return fd < 0 ? -1.0f : V4L2_Get_Property_Value(fd, property);
}

int Property_Auto(unsigned int device, int property) {
    int fd = Control_Fd(device);
    return fd < 0 ? 0 : V4L2_Get_Property_Auto(fd, property);
}

int Set_Property(unsigned int device, int property, float value, int automatic) {
    int fd = Control_Fd(device);
    return fd >= 0 && V4L2_Set_Property(fd, property, value, automatic) ? 1 : 0;
}

int Version() { return GST_CAPTURE_VERSION; }
void Init_Com() {}

}  // namespace

std::string Gst_Pipeline_Text(const Camera_Info& camera, const std::string& resolution) {
    return camera.Source + " ! " + Size_Caps(resolution) + Tail_Text();
}

Capture_Library Gst_Capture_Table() {
    Capture_Library t;
    t.initCapture = Init_Capture;
    t.deinitCapture = Deinit_Capture;
    t.doCapture = Do_Capture;
    t.isCaptureDone = Is_Capture_Done;
    t.countCaptureDevices = Count_Devices;
    t.getCaptureDeviceName = Device_Name;
    t.getCapturePropertyValue = Property_Value;
    t.getCapturePropertyAuto = Property_Auto;
    t.setCaptureProperty = Set_Property;
    t.ESCAPIDLLVersion = Version;
    t.initCOM = Init_Com;
    return t;
}

int64_t Gst_Capture_Add_Source(const Camera_Info& camera, const std::string& resolution) {
    Component& c = C();
    // A source entered again keeps its number (the toggle restarts the same camera).
    for (size_t i = 0; i < c.Sources.size(); i++)
        if (c.Sources[i].Camera.Name == camera.Name && c.Sources[i].Camera.Source == camera.Source &&
            c.Sources[i].Camera.Node == camera.Node) {
            c.Sources[i].Resolution = resolution;
            return (int64_t)i;
        }
    c.Sources.push_back({camera, resolution});
    return (int64_t)c.Sources.size() - 1;
}

Gst_Open_Result Gst_Capture_Open_Result(std::string* text) {
    if (text) *text = C().Result_Text;
    return C().Result;
}

std::string Gst_Capture_Take_Stream_Error() {
    std::lock_guard<std::mutex> lock(C().Error_Lock);
    std::string e = C().Stream_Error;
    C().Stream_Error.clear();
    return e;
}

bool Gst_Capture_Set_Caps(const std::string& name, const std::string& caps) {
    std::lock_guard<std::mutex> lock(C().Error_Lock);
    if (!C().Running) return false;
    GstElement* element = gst_bin_get_by_name(GST_BIN(C().Running), name.c_str());
    GstCaps* parsed = gst_caps_from_string(caps.c_str());
    bool ok = element && parsed && g_object_class_find_property(G_OBJECT_GET_CLASS(element), "caps");
    if (ok) g_object_set(G_OBJECT(element), "caps", parsed, nullptr);
    if (parsed) gst_caps_unref(parsed);
    if (element) gst_object_unref(element);
    return ok;
}
