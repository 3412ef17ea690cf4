// Test fixture for the logic tests on the null backend: a fresh main window
// (every control of the real layout in the null control table), empty job
// slots, start-up interaction state and no scripted prompts. The builders
// live in the shared test-support library (test_support.h).
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "analysis/threshold.h"
#include "app/control_ids.h"
#include "app/main_window.h"
#include "document/doc_model.h"
#include "measure/calibration_list.h"
#include "measure/canvas.h"
#include "platform/platform.h"
#include "platform/platform_null.h"
#include "platform/platform_test.h"
#include "support/test_support.h"
