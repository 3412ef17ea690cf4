#include "app/batch.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/command_line.h"
#include "base/image_io.h"
#include "base/picture.h"
#include "document/doc_file.h"
#include "document/doc_model.h"
#include "measure/results_table.h"

namespace {

// Reads one document without touching the job slots. On failure names the
// file and the reason on stderr and returns false.
bool Load_Document(const std::string& path, Doc_Info* doc) {
    struct stat info;
    std::string reason;
    if (stat(path.c_str(), &info) != 0) {
        reason = strerror(errno);
    } else if (S_ISDIR(info.st_mode)) {
        reason = "is a folder, not a document file";
    } else if (FILE* f = fopen(path.c_str(), "rb")) {
        fclose(f);
    } else {
        reason = strerror(errno);
    }
    if (reason.empty()) {
        Picture picture;
        bool over_budget = false;
        if (Read_Document_File(path, doc, &picture, &over_budget)) {
            // As the open dialog does: without a usable calibration the
            // document counts 50 pixels per mm.
            if (!(doc->PPMM > 0) || !std::isfinite(doc->PPMM)) doc->PPMM = 50;
            return true;
        }
        reason = over_budget ? "its picture is too large to open"
                             : "not a readable document file (a ZIP archive with a picture and its settings)";
    }
    fprintf(stderr, "trellum: %s: %s\n", path.c_str(), reason.c_str());
    return false;
}

// The rows of every readable file; documents are numbered by their position
// on the command line, from 1, so a file that failed leaves its number out.
std::vector<Results_Row> Load_Results(const std::vector<std::string>& files, bool* failed) {
    std::vector<Results_Row> rows;
    for (size_t i = 0; i < files.size(); i++) {
        Doc_Info doc;
        if (Load_Document(files[i], &doc))
            Append_Results_Rows((int64_t)i + 1, files[i], doc, &rows);
        else
            *failed = true;
    }
    return rows;
}

}  // namespace

int Batch_Export_Results(const std::string& out_csv, const std::vector<std::string>& files) {
    bool failed = false;
    std::vector<Results_Row> rows = Load_Results(files, &failed);
    // The table is written whatever failed, so that the readable files count.
    if (!Write_File_Atomically(out_csv, Results_Csv_Text(rows))) {
        fprintf(stderr, "trellum: %s: the results table cannot be written\n", out_csv.c_str());
        return EXIT_BATCH_FILE_FAILED;
    }
    return failed ? EXIT_BATCH_FILE_FAILED : EXIT_BATCH_OK;
}

int Batch_Summary(const std::vector<std::string>& files) {
    bool failed = false;
    std::string text = Summary_Csv_Text(Load_Results(files, &failed));
    if (fwrite(text.data(), 1, text.size(), stdout) != text.size() || fflush(stdout) != 0) {
        fprintf(stderr, "trellum: the summary cannot be written to the standard output\n");
        return EXIT_BATCH_FILE_FAILED;
    }
    return failed ? EXIT_BATCH_FILE_FAILED : EXIT_BATCH_OK;
}
