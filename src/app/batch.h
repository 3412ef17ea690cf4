// Batch commands on saved documents, run without a display.
#pragma once

#include <string>
#include <vector>

// --export-results OUT.csv FILE.JQV...; "-" for OUT.csv is the standard
// output. Returns the exit code.
int Batch_Export_Results(const std::string& out_csv, const std::vector<std::string>& files);
// --summary FILE.JQV...: the summary table on stdout; returns the exit code.
int Batch_Summary(const std::vector<std::string>& files);
// --export-picture OUT_FOLDER FILE.JQV...: one picture per document in
// `format` (a Picture_Export_Format); a file of the output's name that this
// run did not write is replaced only with `overwrite`. Returns the exit code.
int Batch_Export_Pictures(const std::string& out_folder, const std::vector<std::string>& files, int format,
                          bool overwrite);
