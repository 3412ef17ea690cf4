// Pictures of documents at their own resolution, with overlay and scale bar.
#pragma once

#include <string>
#include <vector>

// --export-picture OUT_FOLDER FILE.JQV...; returns the exit code.
int Batch_Export_Pictures(const std::string& out_folder, const std::vector<std::string>& files);
