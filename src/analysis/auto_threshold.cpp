#include "analysis/auto_threshold.h"

#include <cmath>
#include <string>

#include "analysis/threshold.h"
#include "analysis/threshold_methods.h"
#include "base/debug_log.h"
#include "document/doc_model.h"
#include "document/settings.h"
#include "platform/platform.h"

void Auto_Threshold_Curve(const Doc_Info& doc, int64_t A[AUTO_THRESHOLD_LEVELS]) {
    for (int i = 0; i < AUTO_THRESHOLD_LEVELS; i++) A[i] = 1;
    const uint8_t mode = doc.Processing.Mode;
    if (mode < MODE_CYAN || mode > MODE_BLACK) return;

    int64_t histogram[256];
    Mode_Histogram(doc.Image_Buffer.data(), Document_Pixel_Count(doc), mode, histogram);

    // at_least[v] = pixels whose channel value is v or more.
    int64_t at_least[257];
    at_least[256] = 0;
    for (int v = 255; v >= 0; v--) at_least[v] = at_least[v + 1] + histogram[v];

    // The trial for index i stores the threshold (i + 1) mod 256; processing
    // then tests value > threshold - 1 (value >= i + 1), and in black mode
    // value > threshold - 2 (value >= i). Both limits wrap in a byte: a stored
    // 0 tests value > 255 (none) or, in black mode, value > 254; a stored 1 in
    // black mode tests value > 255 (none).
    for (int i = 0; i < AUTO_THRESHOLD_LEVELS; i++) {
        const uint8_t stored = (uint8_t)(i + 1);
        const uint8_t limit = (uint8_t)(stored - (mode == MODE_BLACK ? 2 : 1));
        const int64_t hits = at_least[limit + 1];  // value > limit
        A[i] = hits == 0 ? 1 : hits;
    }
}

Auto_Threshold_Choice Auto_Threshold_Choose(const int64_t A[AUTO_THRESHOLD_LEVELS]) {
    float C[AUTO_THRESHOLD_LEVELS];
    for (int i = 0; i < AUTO_THRESHOLD_LEVELS; i++) {
        int64_t b = i < 222 ? A[i] - A[i + 32] : A[i] - A[255];
        if (b == 0) b = 1;
        C[i] = (float)((double)A[i] / (double)b);
    }

    Auto_Threshold_Choice choice;
    for (int i = 0; i < AUTO_THRESHOLD_LEVELS; i++)
        if (C[i] < 10.0f) {
            choice.First_Below_10 = i;
            break;
        }
    for (int64_t j = choice.First_Below_10; j < AUTO_THRESHOLD_LEVELS; j++)
        if (C[j] > 100.0f) {
            choice.First_Above_100 = j;
            break;
        }

    int64_t t = 0;
    if (choice.First_Above_100 < AUTO_THRESHOLD_LEVELS) t = choice.First_Above_100;
    else if (choice.First_Below_10 < AUTO_THRESHOLD_LEVELS) t = choice.First_Below_10;
    if (t == 0 || t == 255) t = 127;
    choice.Threshold = t + 8;
    return choice;
}

bool Auto_Threshold_Of_Current(int64_t* threshold) {
    Job_Slot* slot = Current_Slot();
    if (!slot) return false;
    const uint8_t mode = slot->Doc.Processing.Mode;
    if (mode < MODE_CYAN || mode > MODE_BLACK) return false;  // 0, 5 and values only a file can carry

    const uint8_t method = Settings_View().Threshold_Method;
    if (method >= 1 && method <= THRESHOLD_METHODS) {
        const Doc_Info& doc = slot->Doc;
        int64_t histogram[256];
        Mode_Histogram(doc.Image_Buffer.data(), Document_Pixel_Count(doc), mode, histogram);
        const Slider_Choice choice = Threshold_For_Slider((uint8_t)(method - 1), histogram, mode,
                                                          doc.Processing.Bright ? OBJECTS_BRIGHT : OBJECTS_DARK);
        Log("Automatic threshold, " + std::string(Threshold_Method_Name((uint8_t)(method - 1))) + ": cut at " +
            std::to_string(choice.Cut));
        *threshold = choice.Slider;
        return true;
    }

    int64_t A[AUTO_THRESHOLD_LEVELS];
    Auto_Threshold_Curve(slot->Doc, A);
    const Auto_Threshold_Choice choice = Auto_Threshold_Choose(A);
    Log("FirstPC below 10: " + std::to_string(choice.First_Below_10));
    Log("FirstPC above 100: " + std::to_string(choice.First_Above_100));

    *threshold = choice.Threshold;
    return true;
}
