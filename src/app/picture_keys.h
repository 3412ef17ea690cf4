// Key table of the picture view: what each key pressed over the main picture
// does (threshold steps, analysis modes, tools, documents, the reticle, the
// magnifier, the selected measurement). Every key is logged first.
#pragma once

#include <cstddef>
#include <cstdint>

// One key of the table. The shortcuts window lists the table as it stands,
// so a key added here is listed there.
struct Picture_Key {
    int32_t Key;           // virtual-key code
    const char* Action;    // what it does, as the shortcuts window shows it
    void (*Run)(int32_t key);
};
extern const Picture_Key PICTURE_KEYS[];
extern const size_t PICTURE_KEY_COUNT;

// Logs the key and does what its row of the table says (nothing for a key
// that has none).
void Picture_View_Key(int32_t key);
