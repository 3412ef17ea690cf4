// The analysis page's controls: the mode buttons, the threshold slider and
// its frame, and the "A" button.
#pragma once

#include <cstdint>

// Stores the slider value as the current document's threshold for its mode
// and writes "Threshold [v]" into the threshold frame.
void Apply_Threshold();
// Analysis button 1..6: presses it, sets the document's mode, shows the
// mode's threshold on the slider, hides the automatic tool buttons in mode 0.
void Select_Analysis_Mode(int64_t button);
// "Bright objects": the current document's hit rule follows the check box
// (inverted when it is ticked).
void Bright_Objects_Changed();
// The "A" button and key 9: sets the slider to the chosen threshold and
// applies it; nothing in modes 0 and 5 or without a current document.
void Auto_Threshold();
