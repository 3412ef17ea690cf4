#include "app/picture_export.h"

#include <cstdio>

#include "app/command_line.h"

// Not built yet: the picture export comes with its own change.
int Batch_Export_Pictures(const std::string&, const std::vector<std::string>&) {
    fprintf(stderr, "trellum: --export-picture is not available in this build\n");
    return EXIT_BATCH_FILE_FAILED;
}
