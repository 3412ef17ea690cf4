// Batch commands on saved documents, run without a display.
#pragma once

#include <string>
#include <vector>

// --export-results OUT.csv FILE.JQV...; returns the exit code.
int Batch_Export_Results(const std::string& out_csv, const std::vector<std::string>& files);
// --summary FILE.JQV...: the summary table on stdout; returns the exit code.
int Batch_Summary(const std::vector<std::string>& files);
