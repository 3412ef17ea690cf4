#include "base/tiff_io.h"

#include <tiffio.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstring>

#include "base/image_io.h"
#include "base/unit_table.h"

namespace {

// ------------------------------------------------------------ memory I/O

// Bytes that reads see in place of the file's own (a directory entry's
// count cut down), `Size` of them from `At`.
struct Tiff_Patch {
    uint64_t At = 0;
    uint8_t Bytes[8] = {};
    size_t Size = 0;
};

struct Tiff_Memory {
    const uint8_t* Data = nullptr;   // reading
    std::vector<uint8_t>* Out = nullptr;  // writing
    size_t Size = 0;
    size_t At = 0;
    std::vector<Tiff_Patch> Patches;  // reading only
};

tmsize_t Memory_Read(thandle_t handle, void* target, tmsize_t length) {
    Tiff_Memory* m = (Tiff_Memory*)handle;
    if (length <= 0 || m->At >= m->Size) return 0;
    size_t n = std::min((size_t)length, m->Size - m->At);
    std::memcpy(target, (m->Out ? m->Out->data() : m->Data) + m->At, n);
    for (const Tiff_Patch& p : m->Patches)
        for (size_t k = 0; k < p.Size; k++)
            if (p.At + k >= m->At && p.At + k < m->At + n) ((uint8_t*)target)[p.At + k - m->At] = p.Bytes[k];
    m->At += n;
    return (tmsize_t)n;
}

tmsize_t Memory_Write(thandle_t handle, void* source, tmsize_t length) {
    Tiff_Memory* m = (Tiff_Memory*)handle;
    if (!m->Out || length < 0) return -1;
    size_t end = m->At + (size_t)length;
    if (end > m->Out->size()) m->Out->resize(end);
    std::memcpy(m->Out->data() + m->At, source, (size_t)length);
    m->At = end;
    m->Size = std::max(m->Size, end);
    return length;
}

toff_t Memory_Seek(thandle_t handle, toff_t offset, int whence) {
    Tiff_Memory* m = (Tiff_Memory*)handle;
    uint64_t base = whence == SEEK_CUR ? m->At : whence == SEEK_END ? m->Size : 0;
    uint64_t to = base + offset;  // offsets are unsigned; libtiff never seeks before the start
    // A reader may look past the end (and then reads nothing); a writer's
    // file grows when it writes there.
    if (to > ((uint64_t)1 << 40)) return (toff_t)-1;
    m->At = (size_t)to;
    return to;
}

int Memory_Close(thandle_t) { return 0; }
toff_t Memory_Size(thandle_t handle) { return ((Tiff_Memory*)handle)->Size; }
int Memory_Map(thandle_t, void**, toff_t*) { return 0; }
void Memory_Unmap(thandle_t, void*, toff_t) {}

// libtiff's messages are not ours to print: a damaged file is a false result.
int Tiff_Silent(TIFF*, void*, const char*, const char*, va_list) { return 1; }

// At most this much of a description is read: the calibration keys come
// first, and a description of hundreds of megabytes would otherwise be read
// and copied whole before the first pixel.
const uint64_t MAX_DESCRIPTION_BYTES = 64 << 10;

// An unsigned number of `width` bytes at `at`, in the file's byte order.
uint64_t File_Number(const uint8_t* data, bool little, uint64_t at, int width) {
    uint64_t v = 0;
    for (int k = 0; k < width; k++) {
        uint64_t b = data[at + (little ? k : width - 1 - k)];
        v |= b << (8 * k);
    }
    return v;
}

// libtiff reads every tag of a directory whole. The count of each
// ImageDescription entry of the first directory above the limit is read as
// the limit instead, so that only its start is read (without its end marker,
// which libtiff then supplies).
void Limit_Description(const uint8_t* data, size_t size, Tiff_Memory* m) {
    const bool little = data[0] == 'I';
    const bool big = File_Number(data, little, 2, 2) == 43;
    const int word = big ? 8 : 4;
    if (size < (size_t)(big ? 16 : 8)) return;
    const uint64_t directory = File_Number(data, little, big ? 8 : 4, word);
    const int count_width = big ? 8 : 2, entry_size = big ? 20 : 12;
    if (directory >= size || size - directory < (uint64_t)count_width) return;
    const uint64_t entries = File_Number(data, little, directory, count_width);
    uint64_t at = directory + count_width;
    for (uint64_t i = 0; i < entries && at <= size && size - at >= (uint64_t)entry_size; i++, at += entry_size) {
        if (File_Number(data, little, at, 2) != TIFFTAG_IMAGEDESCRIPTION) continue;
        if (File_Number(data, little, at + 4, word) <= MAX_DESCRIPTION_BYTES) continue;
        Tiff_Patch p;
        p.At = at + 4;
        p.Size = (size_t)word;
        for (int k = 0; k < word; k++)
            p.Bytes[little ? k : word - 1 - k] = (uint8_t)(MAX_DESCRIPTION_BYTES >> (8 * k));
        m->Patches.push_back(p);
    }
}

TIFF* Open_Memory(Tiff_Memory* m, const char* mode) {
    TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
    if (!options) return nullptr;
    TIFFOpenOptionsSetErrorHandlerExtR(options, Tiff_Silent, nullptr);
    TIFFOpenOptionsSetWarningHandlerExtR(options, Tiff_Silent, nullptr);
    // Nothing libtiff allocates for one picture of ours needs more.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options, (tmsize_t)1 << 30);
    TIFF* tif = TIFFClientOpenExt("memory", mode, (thandle_t)m, Memory_Read, Memory_Write, Memory_Seek,
                                  Memory_Close, Memory_Size, Memory_Map, Memory_Unmap, options);
    TIFFOpenOptionsFree(options);
    return tif;
}

// Reading: the caller has checked the file's first bytes with Is_Tiff.
TIFF* Open_Reading(const uint8_t* data, size_t size, Tiff_Memory* m) {
    m->Data = data;
    m->Size = size;
    Limit_Description(data, size, m);
    return Open_Memory(m, "rm");
}

// ------------------------------------------------------------ calibration

}  // namespace

// The tags hold single-precision values: the least one written reads back a
// hair below the bound and still counts.
bool Plausible_Ppmm(double ppmm) {
    return std::isfinite(ppmm) && ppmm >= MIN_FILE_PPMM * (1 - 1e-6) && ppmm < MAX_FILE_PPMM;
}

namespace {

// Unit names as analysis programs write them, to our unit numbers.
int64_t Unit_From_Name(const std::string& name) {
    static const struct {
        const char* Name;
        int64_t Unit;
    } names[] = {
        {"micron", 0}, {"microns", 0}, {"um", 0}, {"\xC2\xB5m", 0}, {"\\u00B5m", 0},
        {"mil", 1},    {"thou", 1},    {"mm", 2}, {"millimeter", 2}, {"millimetre", 2},
        {"cm", 2},     {"nm", 0},      {"inch", 3}, {"in", 3},     {"pixel", 4}, {"pixels", 4}, {"px", 4},
    };
    for (const auto& n : names)
        if (name == n.Name) return n.Unit;
    return -1;
}

// Millimetres per one of the named unit; 0 for a name that is no length.
double Millimetres_Per(const std::string& name) {
    int64_t unit = Unit_From_Name(name);
    if (name == "cm") return 10;
    if (name == "nm") return 1e-6;
    const Unit_Info* info = Unit_Info_Of(unit);
    return info ? info->Exact_Millimetres : 0;
}

// The value of "key=" in a description of "key=value" lines; "" when absent.
std::string Description_Value(const std::string& text, const std::string& key) {
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(at, end - at);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.compare(0, key.size() + 1, key + "=") == 0) return line.substr(key.size() + 1);
        at = end + 1;
    }
    return "";
}

// A picture counts as calibrated when its resolution is given per
// centimetre, or when it names a length unit in an "ImageJ=" description
// (then a resolution without unit is pixels per that unit). A resolution in
// inches alone is usually a printing default (72 dpi) and is not taken.
Tiff_Calibration Read_Calibration(TIFF* tif) {
    Tiff_Calibration c;
    float xres = 0;
    uint16_t res_unit = RESUNIT_INCH;
    const char* description = nullptr;
    bool have_res = TIFFGetField(tif, TIFFTAG_XRESOLUTION, &xres) == 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_RESOLUTIONUNIT, &res_unit);
    std::string unit_name;
    if (TIFFGetField(tif, TIFFTAG_IMAGEDESCRIPTION, &description) == 1 && description &&
        std::strncmp(description, "ImageJ=", 7) == 0)
        unit_name = Description_Value(description, "unit");
    c.Unit = Unit_From_Name(unit_name);
    double ppmm = 0;
    if (have_res && std::isfinite(xres) && xres > 0) {
        if (res_unit == RESUNIT_CENTIMETER)
            ppmm = xres / 10.0;
        else if (res_unit == RESUNIT_INCH && !unit_name.empty() && Millimetres_Per(unit_name) > 0)
            ppmm = xres / 25.4;
        else if (res_unit == RESUNIT_NONE && Millimetres_Per(unit_name) > 0)
            ppmm = xres / Millimetres_Per(unit_name);
    }
    if (Plausible_Ppmm(ppmm)) c.PPMM = ppmm;
    return c;
}

// ------------------------------------------------------------ pixels

struct Tiff_Layout {
    uint32_t Width = 0, Height = 0;
    uint16_t Bits = 1, Samples = 1, Photometric = 0, Planar = PLANARCONFIG_CONTIG, Format = SAMPLEFORMAT_UINT;
    bool Alpha = false;  // the sample after the colour ones is alpha
    int Colours = 1;     // 1 grey, 3 RGB
};

// The kinds read sample by sample; others go to libtiff's RGBA reader.
bool Own_Layout(TIFF* tif, Tiff_Layout* l) {
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &l->Bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &l->Samples);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &l->Planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLEFORMAT, &l->Format);
    if (TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &l->Photometric) != 1) return false;
    if (l->Bits != 8 && l->Bits != 16) return false;
    if (l->Format != SAMPLEFORMAT_UINT) return false;
    if (l->Photometric == PHOTOMETRIC_MINISBLACK || l->Photometric == PHOTOMETRIC_MINISWHITE)
        l->Colours = 1;
    else if (l->Photometric == PHOTOMETRIC_RGB)
        l->Colours = 3;
    else
        return false;
    if (l->Samples < l->Colours) return false;
    uint16_t extra_count = 0;
    uint16_t* extra = nullptr;
    if (l->Samples > l->Colours && TIFFGetField(tif, TIFFTAG_EXTRASAMPLES, &extra_count, &extra) == 1 &&
        extra_count > 0 && extra)
        l->Alpha = extra[0] == EXTRASAMPLE_ASSOCALPHA || extra[0] == EXTRASAMPLE_UNASSALPHA;
    // Four samples without the tag are RGBA in practice.
    if (l->Colours == 3 && l->Samples == 4 && extra_count == 0) l->Alpha = true;
    return true;
}

inline uint8_t To_8(uint32_t v, int bits) { return bits == 8 ? (uint8_t)v : (uint8_t)((v * 255 + 32767) / 65535); }

// Stores sample `s` (0-based within the pixel) of value v into the BGRA pixel p.
inline void Put_Sample(const Tiff_Layout& l, uint8_t* p, int s, uint8_t v) {
    if (l.Colours == 1) {
        if (s == 0) {
            if (l.Photometric == PHOTOMETRIC_MINISWHITE) v = (uint8_t)(255 - v);
            p[0] = p[1] = p[2] = v;
        } else if (s == 1 && l.Alpha) {
            p[3] = v;
        }
    } else {
        if (s < 3)
            p[2 - s] = v;
        else if (s == 3 && l.Alpha)
            p[3] = v;
    }
}

// Copies one decoded block (strip or tile) of bw x bh pixels, `per_pixel`
// samples each starting at sample `first`, to (bx, by) of the picture.
void Copy_Block(const Tiff_Layout& l, const uint8_t* block, uint32_t bx, uint32_t by, uint32_t bw, uint32_t bh,
                int per_pixel, int first, Picture* p) {
    const size_t bytes = l.Bits / 8;
    const size_t row_bytes = (size_t)bw * per_pixel * bytes;
    for (uint32_t y = 0; y < bh && by + y < l.Height; y++) {
        const uint8_t* row = block + y * row_bytes;
        uint8_t* target = p->Pixels.data() + ((size_t)(by + y) * l.Width + bx) * 4;
        for (uint32_t x = 0; x < bw && bx + x < l.Width; x++) {
            for (int s = 0; s < per_pixel; s++) {
                size_t at = ((size_t)x * per_pixel + s) * bytes;
                uint32_t v = bytes == 1 ? row[at] : *(const uint16_t*)(row + at);  // libtiff gives native order
                Put_Sample(l, target + (size_t)x * 4, first + s, To_8(v, l.Bits));
            }
        }
    }
}

bool Read_Own(TIFF* tif, const Tiff_Layout& l, Picture* p) {
    const bool separate = l.Planar == PLANARCONFIG_SEPARATE && l.Samples > 1;
    const int planes = separate ? std::min<int>(l.Samples, 4) : 1;
    const int per_pixel = separate ? 1 : l.Samples;
    const size_t bytes = l.Bits / 8;
    std::vector<uint8_t> block;
    if (TIFFIsTiled(tif)) {
        uint32_t tw = 0, th = 0;
        if (TIFFGetField(tif, TIFFTAG_TILEWIDTH, &tw) != 1 || TIFFGetField(tif, TIFFTAG_TILELENGTH, &th) != 1)
            return false;
        if (tw == 0 || th == 0 || tw > 65536 || th > 65536) return false;
        const uint64_t need = (uint64_t)tw * th * per_pixel * bytes;
        if (need > ((uint64_t)1 << 30)) return false;
        block.resize((size_t)need);
        for (int plane = 0; plane < planes; plane++)
            for (uint32_t y = 0; y < l.Height; y += th)
                for (uint32_t x = 0; x < l.Width; x += tw) {
                    uint32_t tile = TIFFComputeTile(tif, x, y, 0, (uint16_t)plane);
                    if (TIFFReadEncodedTile(tif, tile, block.data(), (tmsize_t)need) != (tmsize_t)need) return false;
                    Copy_Block(l, block.data(), x, y, tw, th, per_pixel, plane, p);
                }
        return true;
    }
    uint32_t rows_per_strip = l.Height;
    TIFFGetFieldDefaulted(tif, TIFFTAG_ROWSPERSTRIP, &rows_per_strip);
    if (rows_per_strip == 0) return false;
    rows_per_strip = std::min(rows_per_strip, l.Height);
    const uint64_t row_bytes = (uint64_t)l.Width * per_pixel * bytes;
    if (row_bytes * rows_per_strip > ((uint64_t)1 << 30)) return false;
    block.resize((size_t)(row_bytes * rows_per_strip));
    for (int plane = 0; plane < planes; plane++)
        for (uint32_t y = 0; y < l.Height; y += rows_per_strip) {
            uint32_t rows = std::min(rows_per_strip, l.Height - y);
            tmsize_t need = (tmsize_t)(row_bytes * rows);
            uint32_t strip = TIFFComputeStrip(tif, y, (uint16_t)plane);
            // A strip that decodes to fewer bytes than its rows is damaged.
            if (TIFFReadEncodedStrip(tif, strip, block.data(), need) < need) return false;
            Copy_Block(l, block.data(), 0, y, l.Width, rows, per_pixel, plane, p);
        }
    return true;
}

// Palette, bilevel, YCbCr, CMYK and the like, through libtiff's RGBA reader,
// into the picture's own buffer (one R, G, B, A word a pixel) and swapped to
// B, G, R, A in place. It stops at the first strip or tile it cannot decode
// instead of going on over the rest.
bool Read_Generic(TIFF* tif, const Tiff_Layout& l, Picture* p) {
    char message[1024] = "";
    if (!TIFFRGBAImageOK(tif, message)) return false;
    uint32_t* rgba = (uint32_t*)(void*)p->Pixels.data();  // vector storage is aligned for any word
    if (!TIFFReadRGBAImageOriented(tif, l.Width, l.Height, rgba, ORIENTATION_TOPLEFT, 1)) return false;
    for (size_t i = 0, n = (size_t)l.Width * l.Height; i < n; i++) {
        uint32_t v = rgba[i];
        uint8_t* q = p->Pixels.data() + i * 4;
        q[0] = (uint8_t)TIFFGetB(v);
        q[1] = (uint8_t)TIFFGetG(v);
        q[2] = (uint8_t)TIFFGetR(v);
        q[3] = (uint8_t)TIFFGetA(v);
    }
    return true;
}

// Decoded bytes per stored byte that no file of the compression exceeds.
// Deflate packs at most 1032 bytes into one and LZW about 1370; a JPEG
// block of 64 samples (of up to two bytes) takes at least a bit; a fax row
// at least a bit, however wide; PackBits 128 bytes into two. Other codecs
// (zstd runs, LZMA) get a bound no real picture comes near.
uint64_t Max_Ratio(uint16_t compression, uint32_t width) {
    switch (compression) {
        case COMPRESSION_NONE: return 1;
        case COMPRESSION_PACKBITS: return 64;
        case COMPRESSION_ADOBE_DEFLATE:
        case COMPRESSION_DEFLATE:
        case COMPRESSION_LZW: return 2048;
        case COMPRESSION_JPEG:
        case COMPRESSION_OJPEG: return 1024;
        case COMPRESSION_CCITTRLE:
        case COMPRESSION_CCITTRLEW:
        case COMPRESSION_CCITTFAX3:
        case COMPRESSION_CCITTFAX4: return std::max<uint64_t>(2048, width);
        default: return 1 << 16;
    }
}

// Before anything is allocated for the pixels: every strip or tile lies in
// the file after its header (a missing one has offset 0, and libtiff would
// take the header for its pixels), and together they are large enough for
// the picture the directory claims at the compression's best ratio.
bool Striles_Fit_The_File(TIFF* tif, const Tiff_Layout& l, uint64_t file_size) {
    const bool tiled = TIFFIsTiled(tif) != 0;
    const uint32_t count = tiled ? TIFFNumberOfTiles(tif) : TIFFNumberOfStrips(tif);
    if (count == 0) return false;
    uint16_t compression = COMPRESSION_NONE, planar = PLANARCONFIG_CONTIG, samples = 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_COMPRESSION, &compression);
    TIFFGetFieldDefaulted(tif, TIFFTAG_PLANARCONFIG, &planar);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    const uint64_t header = TIFFIsBigTIFF(tif) ? 16 : 8;
    uint64_t stored = 0;
    for (uint32_t s = 0; s < count; s++) {
        int error = 0;
        uint64_t offset = TIFFGetStrileOffsetWithErr(tif, s, &error);
        uint64_t bytes = error ? 0 : TIFFGetStrileByteCountWithErr(tif, s, &error);
        if (error || bytes == 0 || offset < header || offset > file_size || bytes > file_size - offset) return false;
        stored += bytes;
    }
    uint64_t decoded = 0;
    if (tiled) {
        decoded = TIFFTileSize64(tif) * count;
    } else {
        const uint64_t planes = planar == PLANARCONFIG_SEPARATE ? samples : 1;
        decoded = TIFFScanlineSize64(tif) * l.Height * planes;
    }
    if (decoded == 0) return false;
    const uint64_t ratio = Max_Ratio(compression, l.Width);
    return stored >= (decoded + ratio - 1) / ratio;
}

}  // namespace

bool Is_Tiff(const uint8_t* data, size_t size) {
    return data && size >= 4 &&
           ((data[0] == 'I' && data[1] == 'I' && data[2] == 42 && data[3] == 0) ||
            (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 42) ||
            // BigTIFF
            (data[0] == 'I' && data[1] == 'I' && data[2] == 43 && data[3] == 0) ||
            (data[0] == 'M' && data[1] == 'M' && data[2] == 0 && data[3] == 43));
}

bool Tiff_Size(const uint8_t* data, size_t size, int32_t* width, int32_t* height) {
    if (!Is_Tiff(data, size)) return false;
    Tiff_Memory m;
    TIFF* tif = Open_Reading(data, size, &m);
    if (!tif) return false;
    uint32_t w = 0, h = 0;
    bool ok = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w) == 1 && TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h) == 1 &&
              w > 0 && h > 0 && w <= INT32_MAX && h <= INT32_MAX;
    TIFFClose(tif);
    if (!ok) return false;
    *width = (int32_t)w;
    *height = (int32_t)h;
    return true;
}

bool Decode_Tiff(const uint8_t* data, size_t size, int32_t max_edge, Picture* out, Tiff_Calibration* calibration) {
    if (!Is_Tiff(data, size)) return false;
    Tiff_Memory m;
    TIFF* tif = Open_Reading(data, size, &m);
    if (!tif) return false;
    Tiff_Layout l;
    bool ok = TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &l.Width) == 1 &&
              TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &l.Height) == 1 && l.Width > 0 && l.Height > 0 &&
              l.Width <= (uint32_t)max_edge && l.Height <= (uint32_t)max_edge;
    if (ok) ok = Striles_Fit_The_File(tif, l, size);
    Picture p;
    if (ok) {
        p.Width = (int32_t)l.Width;
        p.Height = (int32_t)l.Height;
        p.Pixels.assign((size_t)l.Width * l.Height * 4, 255);
        ok = Own_Layout(tif, &l) ? Read_Own(tif, l, &p) : Read_Generic(tif, l, &p);
    }
    Tiff_Calibration c;
    if (ok) c = Read_Calibration(tif);
    TIFFClose(tif);
    if (!ok) return false;
    *out = std::move(p);
    if (calibration) *calibration = c;
    return true;
}

std::string Tiff_Unit_Name(int64_t unit) {
    const Unit_Info* info = Unit_Info_Of(unit);
    return info ? info->Tiff : "";
}

bool Encode_Tiff(const Picture& picture, double ppmm, int64_t unit, std::vector<uint8_t>* out) {
    if (!Picture_Is_Valid(picture)) return false;
    std::vector<uint8_t> bytes;
    Tiff_Memory m;
    m.Out = &bytes;
    TIFF* tif = Open_Memory(&m, "w");
    if (!tif) return false;
    const uint32_t w = (uint32_t)picture.Width, h = (uint32_t)picture.Height;
    TIFFSetField(tif, TIFFTAG_IMAGEWIDTH, w);
    TIFFSetField(tif, TIFFTAG_IMAGELENGTH, h);
    TIFFSetField(tif, TIFFTAG_BITSPERSAMPLE, 8);
    TIFFSetField(tif, TIFFTAG_SAMPLESPERPIXEL, 3);
    TIFFSetField(tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT);
    TIFFSetField(tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    TIFFSetField(tif, TIFFTAG_ROWSPERSTRIP, TIFFDefaultStripSize(tif, 0));
    TIFFSetField(tif, TIFFTAG_SOFTWARE, "Trellum");
    if (Plausible_Ppmm(ppmm)) {
        // Analysis programs that read the description take the resolution as
        // pixels per its unit, unless the resolution unit is inch or
        // centimetre; so the resolution is given in the unit named.
        const std::string name = Tiff_Unit_Name(unit);
        const double per_unit = Millimetres_Per(name);
        uint16_t res_unit = RESUNIT_NONE;
        double resolution = ppmm * per_unit;
        if (unit == 3) {
            res_unit = RESUNIT_INCH;
        } else if (name.empty()) {
            res_unit = RESUNIT_CENTIMETER;  // and no description, which would make it pixels
            resolution = ppmm * 10.0;
        }
        // A picture in pixels names its unit only: a pixel size in pixels
        // other than one would be read as a scale.
        if (per_unit > 0 || name.empty()) {
            TIFFSetField(tif, TIFFTAG_XRESOLUTION, (float)resolution);
            TIFFSetField(tif, TIFFTAG_YRESOLUTION, (float)resolution);
            TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, res_unit);
        }
        if (!name.empty()) TIFFSetField(tif, TIFFTAG_IMAGEDESCRIPTION, ("ImageJ=\nunit=" + name + "\n").c_str());
    }
    bool ok = true;
    std::vector<uint8_t> row((size_t)w * 3);
    for (uint32_t y = 0; ok && y < h; y++) {
        const uint8_t* source = picture.Pixels.data() + (size_t)y * w * 4;
        for (uint32_t x = 0; x < w; x++) {
            row[x * 3 + 0] = source[x * 4 + 2];
            row[x * 3 + 1] = source[x * 4 + 1];
            row[x * 3 + 2] = source[x * 4 + 0];
        }
        ok = TIFFWriteScanline(tif, row.data(), y, 0) == 1;
    }
    if (ok) ok = TIFFFlush(tif) == 1;
    TIFFClose(tif);
    if (!ok) return false;
    bytes.resize(m.Size);
    out->swap(bytes);
    return true;
}
