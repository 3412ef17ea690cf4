#include "base/image_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jpeglib.h>
#include <jerror.h>
#include <png.h>


// ============================================================ small helpers

bool Ends_With_No_Case(const std::string& name, const std::string& ending) {
    if (name.size() < ending.size()) return false;
    size_t start = name.size() - ending.size();
    for (size_t i = 0; i < ending.size(); i++) {
        unsigned char a = (unsigned char)name[start + i], b = (unsigned char)ending[i];
        if (a >= 'A' && a <= 'Z') a = (unsigned char)(a + 32);
        if (b >= 'A' && b <= 'Z') b = (unsigned char)(b + 32);
        if (a != b) return false;
    }
    return true;
}

static uint32_t Read_U16(const uint8_t* p) { return (uint32_t)p[0] | ((uint32_t)p[1] << 8); }
static uint32_t Read_U32(const uint8_t* p) {
    return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

bool Picture_Is_Valid(const Picture& p) {
    return p.Width > 0 && p.Height > 0 && p.Pixels.size() == (size_t)p.Width * (size_t)p.Height * 4;
}

// ============================================================ format detection

Picture_Format Detect_Picture_Format(const uint8_t* data, size_t size) {
    static const uint8_t png_signature[8] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (size >= 8 && std::memcmp(data, png_signature, 8) == 0) return PICTURE_PNG;
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return PICTURE_JPEG;
    if (size >= 2 && data[0] == 'B' && data[1] == 'M') return PICTURE_BMP;
    return PICTURE_UNKNOWN;
}

bool Decode_Picture(const uint8_t* data, size_t size, Picture* out) {
    if (!data) return false;
    switch (Detect_Picture_Format(data, size)) {
        case PICTURE_PNG: return Decode_Png(data, size, MAX_PICTURE_EDGE, out);
        case PICTURE_JPEG: return Decode_Jpeg(data, size, MAX_PICTURE_EDGE, out);
        case PICTURE_BMP: return Decode_Bmp(data, size, MAX_PICTURE_EDGE, out);
        default: return false;
    }
}

// ============================================================ PNG

// libpng reports errors through png_error, which must not return; ours jumps
// back to the setjmp of Png_Read (whose C++ objects live in the caller).
// The source is a memory block; reading past its end is an error, so a file
// that ends before its last row is refused instead of shown half grey.
struct Png_Source {
    const uint8_t* data;
    size_t size;
    size_t at;
};

static void Png_Read_Memory(png_structp png, png_bytep target, size_t length) {
    Png_Source* source = (Png_Source*)png_get_io_ptr(png);
    if (length > source->size - source->at) png_error(png, "truncated");
    std::memcpy(target, source->data + source->at, length);
    source->at += length;
}

static void Png_Silent_Warning(png_structp, png_const_charp) {}

static void Png_Error_Exit(png_structp png, png_const_charp) { png_longjmp(png, 1); }

// The buffers live in the caller's frame, so a jump out of libpng leaves
// nothing of this function's own to clean up but libpng's structures.
struct Png_Buffers {
    Picture picture;
    std::vector<png_bytep> rows;
};

// Samples are taken as stored: no gamma or colour-space conversion (a 16-bit
// file has no gamma chunk more often than not, and its numbers are what the
// camera wrote), 16-bit samples scaled to 8 bits, palette and grey expanded,
// transparency as alpha, the rest opaque.
static bool Png_Read(const uint8_t* data, size_t size, int32_t max_edge, Png_Buffers* buffers) {
    Png_Source source = {data, size, 0};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, Png_Error_Exit, Png_Silent_Warning);
    if (!png) return false;
    png_infop info = png_create_info_struct(png);
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
        return false;
    }
    png_set_read_fn(png, &source, Png_Read_Memory);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info), height = png_get_image_height(png, info);
    if (width == 0 || height == 0 || width > (png_uint_32)max_edge || height > (png_uint_32)max_edge)
        png_error(png, "size");
    int depth = png_get_bit_depth(png, info);
    int colour = png_get_color_type(png, info);
    const size_t file_row_bytes = png_get_rowbytes(png, info);  // as stored, before the conversions
    if (depth == 16) png_set_scale_16(png);
    if (colour == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
    if (colour == PNG_COLOR_TYPE_GRAY && depth < 8) png_set_expand_gray_1_2_4_to_8(png);
    if (png_get_valid(png, info, PNG_INFO_tRNS)) png_set_tRNS_to_alpha(png);
    if (colour == PNG_COLOR_TYPE_GRAY || colour == PNG_COLOR_TYPE_GRAY_ALPHA) png_set_gray_to_rgb(png);
    png_set_bgr(png);
    png_set_filler(png, 0xFF, PNG_FILLER_AFTER);  // no effect where the file has alpha
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != (size_t)width * 4) png_error(png, "layout");
    // Deflate packs at most 1032 bytes into one, so data that small cannot
    // hold the rows its header claims: refused before the picture is allocated.
    if ((uint64_t)size * 1032 < (uint64_t)file_row_bytes * height) png_error(png, "too short");

    Picture& p = buffers->picture;
    p.Width = (int32_t)width;
    p.Height = (int32_t)height;
    p.Pixels.resize((size_t)width * height * 4);
    buffers->rows.resize(height);
    for (png_uint_32 y = 0; y < height; y++) buffers->rows[y] = p.Pixels.data() + (size_t)y * width * 4;
    png_read_image(png, buffers->rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

bool Decode_Png(const uint8_t* data, size_t size, int32_t max_edge, Picture* out) {
    if (!data || size < 8) return false;
    Png_Buffers buffers;
    if (!Png_Read(data, size, max_edge, &buffers)) return false;
    *out = std::move(buffers.picture);
    return true;
}

bool Encode_Png(const Picture& picture, std::vector<uint8_t>* out) {
    if (!Picture_Is_Valid(picture)) return false;
    // 24-bit colour: the drawing buffer's alpha means nothing to a viewer.
    std::vector<uint8_t> bgr((size_t)picture.Width * picture.Height * 3);
    for (size_t i = 0, n = (size_t)picture.Width * picture.Height; i < n; i++) {
        bgr[i * 3 + 0] = picture.Pixels[i * 4 + 0];
        bgr[i * 3 + 1] = picture.Pixels[i * 4 + 1];
        bgr[i * 3 + 2] = picture.Pixels[i * 4 + 2];
    }
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = (png_uint_32)picture.Width;
    image.height = (png_uint_32)picture.Height;
    image.format = PNG_FORMAT_BGR;
    png_alloc_size_t bytes = 0;
    if (!png_image_write_get_memory_size(image, bytes, 0, bgr.data(), 0, nullptr)) return false;
    std::vector<uint8_t> buffer(bytes);
    if (!png_image_write_to_memory(&image, buffer.data(), &bytes, 0, bgr.data(), 0, nullptr)) return false;
    buffer.resize(bytes);
    out->swap(buffer);
    return true;
}

// ============================================================ JPEG
//
// libjpeg reports errors by calling error_exit, which must not return; ours
// jumps back to the setjmp of the running call. The functions that set the
// jump hold no C++ objects, so nothing is skipped by the jump.

struct Jpeg_Error {
    jpeg_error_mgr manager;
    jmp_buf jump;
    bool eof_is_error;  // set while the rows are decoded
};

static void Jpeg_Error_Exit(j_common_ptr info) {
    Jpeg_Error* error = (Jpeg_Error*)info->err;
    longjmp(error->jump, 1);
}

static void Jpeg_Silent(j_common_ptr) {}

// libjpeg only warns when the data ends before the last row (the file ends,
// or the next marker comes first) and fills the rest with grey; that is a
// damaged file, so either warning becomes an error while rows are decoded.
// A file missing only its end marker after the last row, or with stray bytes
// between markers, stays readable.
static void Jpeg_Message(j_common_ptr info, int level) {
    Jpeg_Error* error = (Jpeg_Error*)info->err;
    int code = info->err->msg_code;
    if (level < 0 && error->eof_is_error && (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER)) Jpeg_Error_Exit(info);
}

// Reads the header only: the size, and whether the data can hold that many
// rows at all (`plausible`). Every 8 x 8 block of the first component has a
// DC coefficient of at least one Huffman-coded bit, so a file of fewer bytes
// than its blocks / 8 ends before its rows do; arithmetic coding can do
// better than a bit and is not judged.
static bool Jpeg_Header(const uint8_t* data, size_t size, int32_t* w, int32_t* h, bool* plausible = nullptr) {
    jpeg_decompress_struct info;
    Jpeg_Error error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = Jpeg_Error_Exit;
    error.manager.output_message = Jpeg_Silent;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, (unsigned long)size);
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    *w = (int32_t)info.image_width;
    *h = (int32_t)info.image_height;
    if (plausible) {
        uint64_t blocks = info.num_components > 0 ? (uint64_t)info.comp_info[0].width_in_blocks *
                                                        (uint64_t)info.comp_info[0].height_in_blocks
                                                  : 0;
        *plausible = info.arith_code || (uint64_t)size * 8 >= blocks;
    }
    jpeg_destroy_decompress(&info);
    return true;
}

bool Picture_Size(const uint8_t* data, size_t size, int32_t* width, int32_t* height) {
    if (!data) return false;
    int64_t w = 0, h = 0;
    switch (Detect_Picture_Format(data, size)) {
        case PICTURE_PNG:  // the IHDR chunk comes first: length, "IHDR", width, height (big-endian)
            if (size < 24 || std::memcmp(data + 12, "IHDR", 4) != 0) return false;
            w = (int64_t)data[16] << 24 | data[17] << 16 | data[18] << 8 | data[19];
            h = (int64_t)data[20] << 24 | data[21] << 16 | data[22] << 8 | data[23];
            break;
        case PICTURE_JPEG: {
            int32_t jw = 0, jh = 0;
            if (!Jpeg_Header(data, size, &jw, &jh)) return false;
            w = jw, h = jh;
            break;
        }
        case PICTURE_BMP: {
            if (size < 26) return false;
            uint32_t header_size = Read_U32(data + 14);
            if (header_size == 12) {
                w = (int16_t)Read_U16(data + 18);
                h = (int16_t)Read_U16(data + 20);
            } else {
                w = (int32_t)Read_U32(data + 18);
                h = (int32_t)Read_U32(data + 22);
            }
            if (h < 0) h = -h;  // top-down rows
            break;
        }
        default: return false;
    }
    if (w <= 0 || h <= 0 || w > INT32_MAX || h > INT32_MAX) return false;
    *width = (int32_t)w;
    *height = (int32_t)h;
    return true;
}

// Decodes into `pixels`, which holds w x h x 4 bytes for the size the header gave.
static bool Jpeg_Pixels(const uint8_t* data, size_t size, int32_t w, int32_t h, uint8_t* pixels) {
    jpeg_decompress_struct info;
    Jpeg_Error error;
    uint8_t* volatile cmyk_row = nullptr;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = Jpeg_Error_Exit;
    error.manager.output_message = Jpeg_Silent;
    error.manager.emit_message = Jpeg_Message;
    error.eof_is_error = false;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        std::free(cmyk_row);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, (unsigned long)size);
    jpeg_read_header(&info, TRUE);
    if ((int32_t)info.image_width != w || (int32_t)info.image_height != h) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    bool inverted = cmyk && info.saw_Adobe_marker;  // Adobe writes CMYK inverted
    info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_BGRA;
    error.eof_is_error = true;
    jpeg_start_decompress(&info);
    if ((int32_t)info.output_width != w || (int32_t)info.output_height != h) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    if (cmyk) cmyk_row = (uint8_t*)std::malloc((size_t)w * 4);
    if (cmyk && !cmyk_row) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    while (info.output_scanline < info.output_height) {
        size_t y = info.output_scanline;
        uint8_t* target = pixels + y * (size_t)w * 4;
        JSAMPROW row = cmyk ? (JSAMPROW)cmyk_row : (JSAMPROW)target;
        if (jpeg_read_scanlines(&info, &row, 1) != 1) {
            jpeg_destroy_decompress(&info);
            std::free(cmyk_row);
            return false;
        }
        for (int32_t x = 0; x < w; x++) {
            uint8_t* p = target + (size_t)x * 4;
            if (cmyk) {
                unsigned c = cmyk_row[x * 4], m = cmyk_row[x * 4 + 1], yy = cmyk_row[x * 4 + 2], k = cmyk_row[x * 4 + 3];
                if (!inverted) {
                    c = 255 - c, m = 255 - m, yy = 255 - yy, k = 255 - k;
                }
                p[0] = (uint8_t)(yy * k / 255);
                p[1] = (uint8_t)(m * k / 255);
                p[2] = (uint8_t)(c * k / 255);
            }
            p[3] = 255;
        }
    }
    error.eof_is_error = false;
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::free(cmyk_row);
    return true;
}

bool Decode_Jpeg(const uint8_t* data, size_t size, int32_t max_edge, Picture* out) {
    if (!data || size == 0) return false;
    int32_t w = 0, h = 0;
    bool plausible = false;
    if (!Jpeg_Header(data, size, &w, &h, &plausible) || !plausible) return false;
    if (w <= 0 || h <= 0 || w > max_edge || h > max_edge) return false;
    std::vector<uint8_t> pixels((size_t)w * h * 4, 0);
    if (!Jpeg_Pixels(data, size, w, h, pixels.data())) return false;
    out->Width = w;
    out->Height = h;
    out->Pixels.swap(pixels);
    return true;
}

static bool Jpeg_Encode_Raw(const Picture& picture, int quality, unsigned char** buffer, unsigned long* bytes) {
    jpeg_compress_struct info;
    Jpeg_Error error;
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = Jpeg_Error_Exit;
    error.manager.output_message = Jpeg_Silent;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, buffer, bytes);
    info.image_width = (JDIMENSION)picture.Width;
    info.image_height = (JDIMENSION)picture.Height;
    info.input_components = 4;
    info.in_color_space = JCS_EXT_BGRA;  // the alpha byte is skipped
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = (JSAMPROW)(picture.Pixels.data() + (size_t)info.next_scanline * picture.Width * 4);
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

bool Encode_Jpeg(const Picture& picture, int quality, std::vector<uint8_t>* out) {
    if (!Picture_Is_Valid(picture) || picture.Width > 65500 || picture.Height > 65500) return false;
    if (quality < 0) quality = 0;
    if (quality > 100) quality = 100;
    unsigned char* buffer = nullptr;
    unsigned long bytes = 0;
    bool ok = Jpeg_Encode_Raw(picture, quality, &buffer, &bytes);
    if (ok && buffer) out->assign(buffer, buffer + bytes);
    std::free(buffer);
    return ok && bytes > 0;
}

// ============================================================ BMP

// One channel of a bit-field pixel scaled to 0..255; a zero mask gives `absent`.
static uint8_t Bitfield_Channel(uint32_t pixel, uint32_t mask, uint8_t absent) {
    if (mask == 0) return absent;
    int shift = 0;
    while (!((mask >> shift) & 1)) shift++;
    uint64_t top = mask >> shift;
    uint64_t value = (pixel & mask) >> shift;
    return (uint8_t)((value * 255 + top / 2) / top);
}

namespace {

// What a BMP file's headers say about its pixels.
struct Bmp_Layout {
    uint32_t Pixel_Offset = 0;  // bytes from the file start to the first row
    uint32_t Header_Size = 0;
    int64_t Width = 0, Height = 0;
    bool Top_Down = false;      // rows from the top (negative height in the file)
    uint32_t Bpp = 0, Compression = 0, Colours_Used = 0;
    size_t Palette_Entry = 4;   // bytes per palette entry
    uint32_t Red_Mask = 0, Green_Mask = 0, Blue_Mask = 0, Alpha_Mask = 0;
    bool Bitfields = false;
    uint8_t Palette[256][3] = {};
    size_t Palette_Size = 0;
};

// File and info header: sizes, depth and compression, checked against max_edge.
bool Read_Bmp_Header(const uint8_t* data, size_t size, int32_t max_edge, Bmp_Layout* b) {
    if (!data || size < 26 || data[0] != 'B' || data[1] != 'M') return false;
    b->Pixel_Offset = Read_U32(data + 10);
    b->Header_Size = Read_U32(data + 14);
    if (b->Header_Size == 12) {  // the old core header: 16-bit sizes, 3-byte palette entries
        b->Width = (int16_t)Read_U16(data + 18);
        b->Height = (int16_t)Read_U16(data + 20);
        b->Bpp = Read_U16(data + 24);
        b->Palette_Entry = 3;
    } else if (b->Header_Size >= 40 && b->Header_Size <= 1024) {
        if (size < 14 + (size_t)b->Header_Size) return false;
        b->Width = (int32_t)Read_U32(data + 18);
        b->Height = (int32_t)Read_U32(data + 22);
        b->Bpp = Read_U16(data + 28);
        b->Compression = Read_U32(data + 30);
        b->Colours_Used = Read_U32(data + 46);
    } else {
        return false;
    }
    b->Top_Down = b->Height < 0;
    if (b->Top_Down) b->Height = -b->Height;
    return b->Width > 0 && b->Height > 0 && b->Width <= max_edge && b->Height <= max_edge;
}

// Channel masks of 16- and 32-bit pictures; false for a compression we do not read.
bool Read_Bmp_Masks(const uint8_t* data, size_t size, Bmp_Layout* b) {
    if (b->Compression == 3 || b->Compression == 6) {  // BI_BITFIELDS, BI_ALPHABITFIELDS
        if (b->Bpp != 16 && b->Bpp != 32) return false;
        size_t at = 14 + 40;  // masks follow a 40-byte header, or sit inside a longer one
        size_t count = b->Compression == 6 ? 4 : 3;
        if (b->Header_Size >= 56) count = 4;
        if (size < at + count * 4) return false;
        b->Red_Mask = Read_U32(data + at);
        b->Green_Mask = Read_U32(data + at + 4);
        b->Blue_Mask = Read_U32(data + at + 8);
        if (count == 4) b->Alpha_Mask = Read_U32(data + at + 12);
        b->Bitfields = true;
    } else if (b->Compression != 0) {
        return false;  // run-length and embedded JPEG/PNG bitmaps are not read
    }
    if (!b->Bitfields && b->Bpp == 16)
        b->Red_Mask = 0x7C00, b->Green_Mask = 0x03E0, b->Blue_Mask = 0x001F, b->Bitfields = true;
    const uint32_t bpp = b->Bpp;
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

// Palette for 1, 4 and 8 bits.
bool Read_Bmp_Palette(const uint8_t* data, size_t size, Bmp_Layout* b) {
    if (b->Bpp > 8) return true;
    size_t most = (size_t)1 << b->Bpp;
    b->Palette_Size = b->Colours_Used == 0 || b->Colours_Used > most ? most : b->Colours_Used;
    size_t at = 14 + (size_t)b->Header_Size + (b->Bitfields ? 12 : 0);
    if (at + b->Palette_Size * b->Palette_Entry > size) return false;
    for (size_t i = 0; i < b->Palette_Size; i++) {
        b->Palette[i][0] = data[at + i * b->Palette_Entry + 0];
        b->Palette[i][1] = data[at + i * b->Palette_Entry + 1];
        b->Palette[i][2] = data[at + i * b->Palette_Entry + 2];
    }
    return true;
}

// Pixel x of a file row into p (blue, green, red, alpha).
void Bmp_Pixel(const Bmp_Layout& b, const uint8_t* row, int64_t x, uint8_t* p) {
    const uint32_t bpp = b.Bpp;
    if (bpp <= 8) {
        size_t bit = (size_t)x * bpp;
        unsigned index = (row[bit / 8] >> (8 - bpp - bit % 8)) & ((1u << bpp) - 1);
        if (index < b.Palette_Size) {
            p[0] = b.Palette[index][0], p[1] = b.Palette[index][1], p[2] = b.Palette[index][2];
        } else {
            p[0] = p[1] = p[2] = 0;
        }
        p[3] = 255;
    } else if (bpp == 24) {
        p[0] = row[x * 3], p[1] = row[x * 3 + 1], p[2] = row[x * 3 + 2], p[3] = 255;
    } else if (b.Bitfields) {
        uint32_t v = bpp == 16 ? Read_U16(row + x * 2) : Read_U32(row + x * 4);
        p[0] = Bitfield_Channel(v, b.Blue_Mask, 0);
        p[1] = Bitfield_Channel(v, b.Green_Mask, 0);
        p[2] = Bitfield_Channel(v, b.Red_Mask, 0);
        p[3] = Bitfield_Channel(v, b.Alpha_Mask, 255);
    } else {  // 32 bits without masks: blue, green, red, unused
        p[0] = row[x * 4], p[1] = row[x * 4 + 1], p[2] = row[x * 4 + 2], p[3] = 255;
    }
}

}  // namespace

bool Decode_Bmp(const uint8_t* data, size_t size, int32_t max_edge, Picture* out) {
    Bmp_Layout b;
    if (!Read_Bmp_Header(data, size, max_edge, &b) || !Read_Bmp_Masks(data, size, &b) ||
        !Read_Bmp_Palette(data, size, &b))
        return false;

    // The rows must all be there before anything is allocated.
    const int64_t width = b.Width, height = b.Height;
    uint64_t stride = (((uint64_t)width * b.Bpp + 31) / 32) * 4;
    if ((uint64_t)b.Pixel_Offset > size || stride * (uint64_t)height > size - b.Pixel_Offset) return false;

    std::vector<uint8_t> pixels((size_t)width * (size_t)height * 4);
    for (int64_t y = 0; y < height; y++) {
        const uint8_t* row = data + b.Pixel_Offset + (size_t)(b.Top_Down ? y : height - 1 - y) * stride;
        uint8_t* target = pixels.data() + (size_t)y * (size_t)width * 4;
        for (int64_t x = 0; x < width; x++) Bmp_Pixel(b, row, x, target + x * 4);
    }
    out->Width = (int32_t)width;
    out->Height = (int32_t)height;
    out->Pixels.swap(pixels);
    return true;
}

uint64_t Bmp24_Stride(int32_t width) { return ((uint64_t)width * 3 + 3) / 4 * 4; }

void Bmp24_Header(int32_t width, int32_t height, uint8_t* out) {
    uint64_t image_bytes = Bmp24_Stride(width) * (uint64_t)height;
    auto u32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++) out[at + i] = (uint8_t)(v >> (8 * i));
    };
    memset(out, 0, BMP24_HEADER);
    out[0] = 'B';
    out[1] = 'M';
    u32(2, (uint32_t)(image_bytes + BMP24_HEADER));
    u32(10, (uint32_t)BMP24_HEADER);
    u32(14, 40);
    u32(18, (uint32_t)width);
    u32(22, (uint32_t)height);  // positive: rows stored bottom-up
    out[26] = 1;                // planes
    out[28] = 24;               // bits per pixel
    u32(34, (uint32_t)image_bytes);
    u32(38, 2835);  // 72 dpi
    u32(42, 2835);
}

void Bmp24_Row(const uint8_t* bgra, int32_t width, int32_t height, int32_t index, uint8_t* out) {
    const uint8_t* row = bgra + (size_t)(height - 1 - index) * (size_t)width * 4;
    for (int32_t x = 0; x < width; x++) {
        out[x * 3] = row[x * 4];
        out[x * 3 + 1] = row[x * 4 + 1];
        out[x * 3 + 2] = row[x * 4 + 2];
    }
    for (uint64_t pad = (uint64_t)width * 3; pad < Bmp24_Stride(width); pad++) out[pad] = 0;
}

bool Encode_Bmp24(const Picture& picture, std::vector<uint8_t>* out) {
    if (!Picture_Is_Valid(picture)) return false;
    uint64_t stride = Bmp24_Stride(picture.Width);
    uint64_t image_bytes = stride * (uint64_t)picture.Height;
    if (image_bytes + BMP24_HEADER > 0xFFFFFFFFull) return false;
    std::vector<uint8_t> b((size_t)(image_bytes + BMP24_HEADER));
    Bmp24_Header(picture.Width, picture.Height, b.data());
    for (int32_t i = 0; i < picture.Height; i++)
        Bmp24_Row(picture.Pixels.data(), picture.Width, picture.Height, i, b.data() + BMP24_HEADER + (size_t)i * stride);
    out->swap(b);
    return true;
}

// ============================================================ files

bool Read_File_Bytes(const std::string& path, size_t max_bytes, std::vector<uint8_t>* out) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = false;
    std::vector<uint8_t> bytes;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && (uint64_t)st.st_size <= max_bytes) {
        bytes.resize((size_t)st.st_size);
        size_t got = 0;
        ok = true;
        for (;;) {
            if (got == bytes.size()) {
                // The file may have grown since fstat; read on up to the limit.
                if (bytes.size() >= max_bytes) {
                    uint8_t probe;
                    ssize_t n = read(fd, &probe, 1);
                    if (n != 0) ok = false;
                    break;
                }
                bytes.resize(std::min(max_bytes, bytes.size() + 65536));
            }
            ssize_t n = read(fd, bytes.data() + got, bytes.size() - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) {
                ok = false;
                break;
            }
            if (n == 0) break;
            got += (size_t)n;
        }
        bytes.resize(got);
    }
    close(fd);
    if (ok) out->swap(bytes);
    return ok;
}

// The parent folder of a path as written ("." for a bare name).
static std::string Folder_Of(const std::string& path) {
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

// Where a write to `path` goes. A regular file, also behind symbolic links,
// is replaced in its own folder (`*target` is its real path) so that the
// link stays a link; a missing name, or a link (chain) to one, is created.
// Anything else that exists (a device, a FIFO, the terminal, a pipe behind
// /dev/stdout) is written in place (`*in_place`), never replaced by a file.
// False for a folder and for names that cannot be resolved.
static bool Resolve_Write_Target(const std::string& path, std::string* target, bool* in_place) {
    *in_place = false;
    struct stat st;
    if (stat(path.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) return false;
        if (!S_ISREG(st.st_mode)) {
            *in_place = true;
            *target = path;
            return true;
        }
        char* real = realpath(path.c_str(), nullptr);
        if (!real) return false;
        *target = real;
        free(real);
        return true;
    }
    if (errno != ENOENT) return false;
    // The name, or the end of its link chain, is missing: follow the links
    // by hand, as realpath gives up on a dangling one.
    std::string name = path;
    for (int hops = 0; hops < 40; hops++) {
        struct stat link;
        if (lstat(name.c_str(), &link) != 0) {
            if (errno != ENOENT) return false;
            *target = name;
            return true;
        }
        if (!S_ISLNK(link.st_mode)) return false;  // appeared meanwhile; the next try sees it
        char text[4096];
        ssize_t n = readlink(name.c_str(), text, sizeof text - 1);
        if (n <= 0) return false;
        std::string points_to(text, (size_t)n);
        name = points_to[0] == '/' ? points_to : Folder_Of(name) + "/" + points_to;
    }
    return false;  // a loop of links
}

static bool Write_All(int fd, const uint8_t* data, size_t size) {
    size_t done = 0;
    while (done < size) {
        ssize_t n = write(fd, data + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += (size_t)n;
    }
    return true;
}

static bool Write_In_Place(const std::string& path, const uint8_t* data, size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = Write_All(fd, data, size);
    // Pipes, terminals and character devices cannot be synced; a disk can.
    if (ok && fsync(fd) != 0 && errno != EINVAL && errno != EROFS) ok = false;
    if (close(fd) != 0) ok = false;
    return ok;
}

static bool Write_Atomically(const std::string& path, const uint8_t* data, size_t size) {
    if (path.empty()) return false;
    std::string target;
    bool in_place = false;
    if (!Resolve_Write_Target(path, &target, &in_place)) return false;
    if (in_place) return Write_In_Place(target, data, size);
    std::string temp = Folder_Of(target) + "/.trellum-write-XXXXXX";
    std::vector<char> name(temp.begin(), temp.end());
    name.push_back(0);
    int fd = mkstemp(name.data());
    if (fd < 0) return false;

    mode_t mode;
    struct stat st;
    if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = umask(0);
        umask(mask);
        mode = 0666 & ~mask;
    }
    bool ok = fchmod(fd, mode) == 0 && Write_All(fd, data, size);
    if (ok && fsync(fd) != 0) ok = false;
    if (close(fd) != 0) ok = false;
    if (ok && rename(name.data(), target.c_str()) != 0) ok = false;
    if (!ok) unlink(name.data());
    return ok;
}

bool Write_File_Atomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    return Write_Atomically(path, bytes.data(), bytes.size());
}

bool Write_File_Atomically(const std::string& path, const std::string& bytes) {
    return Write_Atomically(path, (const uint8_t*)bytes.data(), bytes.size());
}
