// Automatic threshold: for the single-colour analysis modes, finds the curve
// A[i] of hit pixels against the threshold i + 1 and puts the threshold just
// above the first sparse stretch after the dense part of the histogram.
//
// The curve is what 256 trial processings would count; it is taken from one
// histogram of the mode's channel instead, with the same byte arithmetic.
#pragma once

#include <cstdint>

struct Doc_Info;

const int AUTO_THRESHOLD_LEVELS = 256;

// Outcome of the choice made from a curve.
struct Auto_Threshold_Choice {
    int64_t First_Below_10 = 256;   // i1: first i with C[i] < 10, 256 = none
    int64_t First_Above_100 = 256;  // j: first j >= i1 with C[j] > 100, 256 = none
    int64_t Threshold = 0;          // T + 8 before the slider limits it to 1..255
};

// A[i] = hits of `doc` in its mode with the threshold i + 1 stored in a byte
// (so A[255] is for a stored 0), each 0 raised to 1. All ones outside modes 1..4.
void Auto_Threshold_Curve(const Doc_Info& doc, int64_t A[AUTO_THRESHOLD_LEVELS]);
// The arrays B and C and the choice of i1, j and T from a curve.
Auto_Threshold_Choice Auto_Threshold_Choose(const int64_t A[AUTO_THRESHOLD_LEVELS]);

// The threshold chosen for the current document by the settings' method: the
// program's own rule (logging the two turning points) or one of the methods
// on the histogram of the mode's colour, as its slider value (logging the
// cut); false in modes 0 and 5 or without a current document.
bool Auto_Threshold_Of_Current(int64_t* threshold);
