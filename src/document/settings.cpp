#include "document/settings.h"

namespace {
User_Settings Settings;
}

const User_Settings& Settings_View() { return Settings; }

void Store_Settings(const User_Settings& settings) { Settings = settings; }

void Reset_Settings() { Settings = User_Settings{}; }
