#include "app/batch.h"

#include <sys/stat.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>

#include "app/command_line.h"
#include "app/picture_export.h"
#include "base/image_io.h"
#include "base/unit_table.h"
#include "base/picture.h"
#include "document/doc_file.h"
#include "document/doc_model.h"
#include "measure/picture_render.h"
#include "measure/results_table.h"

namespace {

// Reads one document and its picture without touching the job slots. On
// failure names the file and the reason on stderr and returns false.
bool Load_Document(const std::string& path, Doc_Info* doc, Picture* picture) {
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
        bool over_budget = false;
        if (Read_Document_File(path, doc, picture, &over_budget)) {
            // As the open dialog does: without a usable calibration the
            // document counts OPENED_DOCUMENT_PPMM.
            if (!(doc->PPMM > 0) || !std::isfinite(doc->PPMM)) doc->PPMM = OPENED_DOCUMENT_PPMM;
            return true;
        }
        reason = over_budget ? "its picture is too large to open"
                             : "not a readable document file (a ZIP archive with a picture and its settings)";
    }
    fprintf(stderr, "trellum: %s: %s\n", path.c_str(), reason.c_str());
    return false;
}

// An output must never be one of the inputs, whatever name or link leads
// to it: says so on stderr and returns true when `output` is the same file
// as one of `files`. Checked before anything is written.
bool Output_Is_An_Input(const std::string& output, const std::vector<std::string>& files) {
    struct stat out;
    if (stat(output.c_str(), &out) != 0) return false;
    for (const std::string& file : files) {
        struct stat in;
        if (stat(file.c_str(), &in) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino) {
            fprintf(stderr, "trellum: %s: is the input file %s; nothing was written\n", output.c_str(), file.c_str());
            return true;
        }
    }
    return false;
}

bool Write_Standard_Output(const std::string& text) {
    return fwrite(text.data(), 1, text.size(), stdout) == text.size() && fflush(stdout) == 0;
}

// OUT_FOLDER/<name without .JQV><extension> for each file given, in order.
// Every file takes its name, readable or not, so that a document's name
// never depends on which of the others could be read; a name taken already
// gets "-2", "-3" ... (documents of the same name from different folders).
std::vector<std::string> Picture_Output_Names(const std::string& folder, const std::vector<std::string>& files,
                                              const std::string& extension) {
    std::vector<std::string> names;
    std::set<std::string> used;
    const std::string base = folder.empty() || folder.back() == '/' ? folder : folder + "/";
    for (const std::string& path : files) {
        size_t slash = path.rfind('/');
        std::string stem = slash == std::string::npos ? path : path.substr(slash + 1);
        if (Ends_With_No_Case(stem, ".jqv")) stem.resize(stem.size() - 4);
        if (stem.empty()) stem = "document";
        std::string name = base + stem + extension;
        for (int k = 2; used.count(name); k++) name = base + stem + "-" + std::to_string(k) + extension;
        used.insert(name);
        names.push_back(name);
    }
    return names;
}

// The rows of every readable file; documents are numbered by their position
// on the command line, from 1, so a file that failed leaves its number out.
std::vector<Results_Row> Load_Results(const std::vector<std::string>& files, bool* failed) {
    std::vector<Results_Row> rows;
    for (size_t i = 0; i < files.size(); i++) {
        Doc_Info doc;
        Picture picture;
        if (Load_Document(files[i], &doc, &picture))
            Append_Results_Rows((int64_t)i + 1, files[i], doc, &rows);
        else
            *failed = true;
    }
    return rows;
}

}  // namespace

int Batch_Export_Results(const std::string& out_csv, const std::vector<std::string>& files) {
    const bool to_stdout = out_csv == "-";
    if (!to_stdout && Output_Is_An_Input(out_csv, files)) return EXIT_USAGE;
    bool failed = false;
    std::vector<Results_Row> rows = Load_Results(files, &failed);
    // The table is written whatever failed, so that the readable files count.
    const std::string text = Results_Csv_Text(rows);
    if (to_stdout ? !Write_Standard_Output(text) : !Write_File_Atomically(out_csv, text)) {
        fprintf(stderr, "trellum: %s: the results table cannot be written\n",
                to_stdout ? "the standard output" : out_csv.c_str());
        return EXIT_BATCH_FILE_FAILED;
    }
    return failed ? EXIT_BATCH_FILE_FAILED : EXIT_BATCH_OK;
}

int Batch_Summary(const std::vector<std::string>& files) {
    bool failed = false;
    if (!Write_Standard_Output(Summary_Csv_Text(Load_Results(files, &failed)))) {
        fprintf(stderr, "trellum: the summary cannot be written to the standard output\n");
        return EXIT_BATCH_FILE_FAILED;
    }
    return failed ? EXIT_BATCH_FILE_FAILED : EXIT_BATCH_OK;
}

int Batch_Export_Pictures(const std::string& out_folder, const std::vector<std::string>& files, int format,
                          bool overwrite) {
    // The extensions the File menu's export gives its two formats.
    const std::vector<std::string> names =
        Picture_Output_Names(out_folder, files, format == PICTURE_EXPORT_TIFF ? ".tif" : ".png");
    for (const std::string& name : names)
        if (Output_Is_An_Input(name, files)) return EXIT_USAGE;
    struct stat st;
    if (stat(out_folder.c_str(), &st) != 0) {
        if (mkdir(out_folder.c_str(), 0777) != 0) {
            fprintf(stderr, "trellum: cannot create the folder %s: %s\n", out_folder.c_str(), strerror(errno));
            return EXIT_BATCH_FILE_FAILED;
        }
    } else if (!S_ISDIR(st.st_mode)) {
        fprintf(stderr, "trellum: %s is not a folder\n", out_folder.c_str());
        return EXIT_BATCH_FILE_FAILED;
    }
    bool failed = false;
    for (size_t i = 0; i < files.size(); i++) {
        const std::string& file = files[i];
        const std::string& out = names[i];
        Doc_Info doc;
        Picture picture;
        if (!Load_Document(file, &doc, &picture)) {
            failed = true;
            continue;
        }
        // Every name of this run is its own, so a file there is the user's
        // (an earlier export, or a picture of the same name).
        if (!overwrite && lstat(out.c_str(), &st) == 0) {
            fprintf(stderr, "trellum: %s: %s exists already; --overwrite replaces it\n", file.c_str(), out.c_str());
            failed = true;
            continue;
        }
        Picture_Render_Options options;
        if (!Write_Document_Picture(doc, picture, options, format, out)) {
            fprintf(stderr, "trellum: %s: cannot write %s\n", file.c_str(), out.c_str());
            failed = true;
            continue;
        }
        printf("%s\n", out.c_str());
    }
    fflush(stdout);
    return failed ? EXIT_BATCH_FILE_FAILED : EXIT_BATCH_OK;
}
