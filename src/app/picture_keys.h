// Key table of the picture view: what each key pressed over the main picture
// does (threshold steps, analysis modes, tools, documents, the reticle, the
// magnifier, the selected measurement). Every key is logged first.
#pragma once

#include <cstdint>

void Picture_View_Key(int32_t key);
