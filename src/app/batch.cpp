#include "app/batch.h"

#include <cstdio>

#include "app/command_line.h"

// Not built yet: the results table comes with its own change.
int Batch_Export_Results(const std::string&, const std::vector<std::string>&) {
    fprintf(stderr, "trellum: --export-results is not available in this build\n");
    return EXIT_BATCH_FILE_FAILED;
}

int Batch_Summary(const std::vector<std::string>&) {
    fprintf(stderr, "trellum: --summary is not available in this build\n");
    return EXIT_BATCH_FILE_FAILED;
}
