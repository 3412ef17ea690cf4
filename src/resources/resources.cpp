// Embedded data: the files written by the generators in tools/ and the font
// files are placed in .rodata by the assembler (.incbin), each between a
// start and an end label; the accessors hand out pointer and size.
#include "resources/resources.h"

#include <cstring>

// One blob: aligned start label, the file's bytes, end label, and a zero
// byte after the end label so a text reader can never run off the end.
#define TRELLUM_EMBED(symbol, path)                                            \
    __asm__(".pushsection .rodata\n"                                           \
            ".balign 16\n"                                                     \
            ".global " #symbol "\n"                                            \
            ".hidden " #symbol "\n"                                            \
            ".type " #symbol ", @object\n" #symbol ":\n"                       \
            ".incbin \"" path "\"\n"                                           \
            ".global " #symbol "_end\n"                                        \
            ".hidden " #symbol "_end\n" #symbol "_end:\n"                      \
            ".byte 0\n"                                                        \
            ".size " #symbol ", " #symbol "_end - " #symbol "\n"               \
            ".popsection\n");                                                  \
    extern "C" __attribute__((visibility("hidden"))) const uint8_t symbol[];    \
    extern "C" __attribute__((visibility("hidden"))) const uint8_t symbol##_end[];

TRELLUM_EMBED(trellum_res_samples, TRELLUM_GENERATED_DIR "/samples.bin")
TRELLUM_EMBED(trellum_res_icon_open, TRELLUM_GENERATED_DIR "/icon_open.png")
TRELLUM_EMBED(trellum_res_icon_save, TRELLUM_GENERATED_DIR "/icon_save.png")
TRELLUM_EMBED(trellum_res_icon_close_file, TRELLUM_GENERATED_DIR "/icon_close_file.png")
TRELLUM_EMBED(trellum_res_icon_video, TRELLUM_GENERATED_DIR "/icon_video.png")
TRELLUM_EMBED(trellum_res_icon_mode_0, TRELLUM_GENERATED_DIR "/icon_mode_0.png")
TRELLUM_EMBED(trellum_res_splash, TRELLUM_GENERATED_DIR "/splash.png")
TRELLUM_EMBED(trellum_res_font_seven_segment, TRELLUM_FONT_SEVEN_SEGMENT)
TRELLUM_EMBED(trellum_res_font_roboto, TRELLUM_FONT_ROBOTO)
TRELLUM_EMBED(trellum_res_font_monospace, TRELLUM_FONT_MONOSPACE)

namespace {

// The end label belongs to the same blob, so the difference is its size;
// taken through integers, as the two labels are separate symbols to C++.
Resource_Data Between(const uint8_t* start, const uint8_t* end) {
    Resource_Data r;
    r.Data = start;
    r.Size = (size_t)((uintptr_t)end - (uintptr_t)start);
    return r;
}

}  // namespace

Resource_Data Resource_Sample_Table() { return Between(trellum_res_samples, trellum_res_samples_end); }

Resource_Data Resource_Icon_Png(int icon) {
    switch (icon) {
    case ICON_OPEN: return Between(trellum_res_icon_open, trellum_res_icon_open_end);
    case ICON_SAVE: return Between(trellum_res_icon_save, trellum_res_icon_save_end);
    case ICON_CLOSE_FILE: return Between(trellum_res_icon_close_file, trellum_res_icon_close_file_end);
    case ICON_VIDEO: return Between(trellum_res_icon_video, trellum_res_icon_video_end);
    case ICON_MODE_0: return Between(trellum_res_icon_mode_0, trellum_res_icon_mode_0_end);
    default: return Resource_Data{};
    }
}

Resource_Data Resource_Splash_Png() { return Between(trellum_res_splash, trellum_res_splash_end); }

Resource_Data Resource_Font_Seven_Segment() {
    return Between(trellum_res_font_seven_segment, trellum_res_font_seven_segment_end);
}

Resource_Data Resource_Font_Roboto() { return Between(trellum_res_font_roboto, trellum_res_font_roboto_end); }

Resource_Data Resource_Font_Monospace() {
    return Between(trellum_res_font_monospace, trellum_res_font_monospace_end);
}

bool Resource_Sample_Entry(int64_t index, std::string* name, Resource_Data* bitmap) {
    Resource_Data table = Resource_Sample_Table();
    if (table.Size < 8) return false;
    int64_t count = 0;
    std::memcpy(&count, table.Data, 8);  // little-endian, as is the machine
    if (index < 0 || index >= count) return false;
    size_t at = 8;
    for (int64_t i = 0;; i++) {
        const size_t name_bytes = 24, header_bytes = 14;
        if (table.Size - at < name_bytes + header_bytes) return false;
        const uint8_t* bmp = table.Data + at + name_bytes;
        uint32_t file_size = 0;
        std::memcpy(&file_size, bmp + 2, 4);
        if (bmp[0] != 'B' || bmp[1] != 'M' || file_size < header_bytes ||
            file_size > table.Size - at - name_bytes)
            return false;
        if (i == index) {
            std::string text;
            for (size_t k = 0; k + 1 < name_bytes; k += 2) {
                uint16_t ch = (uint16_t)(table.Data[at + k] | (table.Data[at + k + 1] << 8));
                if (ch == 0) break;
                text.push_back(ch < 128 ? (char)ch : '?');
            }
            if (name) *name = text;
            if (bitmap) {
                bitmap->Data = bmp;
                bitmap->Size = file_size;
            }
            return true;
        }
        at += name_bytes + file_size;
    }
}
