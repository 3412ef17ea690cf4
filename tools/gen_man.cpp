// Build-time generator of the manual page trellum.1: the synopsis is the
// program's own usage text (what `PROGRAM --help` prints), the description
// the README's opening paragraphs, and the README's usage part (from "## Using
// it" to "<!-- end of the user guide -->", as the user guide has it) follows
// as the page's sections.
//
//   gen_man <README.md> <output.1> <version> <date> <PROGRAM>
//
// Only the Markdown the README uses is understood (see gen_guide); pictures
// and HTML comments are left out, links keep their text.

#include <cctype>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "readme_markdown.h"

namespace {

// Text for roff: backslashes escaped, and "-" a real minus where `minus`
// (options, paths, code).
std::string Escape(const std::string& text, bool minus) {
    std::string out;
    for (char c : text) {
        if (c == '\\') out += "\\e";
        else if (c == '-' && minus) out += "\\-";
        else out += c;
    }
    return out;
}

// A line of output text must not start with a control character.
std::string Line(const std::string& text) {
    if (!text.empty() && (text[0] == '.' || text[0] == '\'')) return "\\&" + text;
    return text;
}

std::string Text_Roff(const std::string& text) { return Escape(text, false); }

std::string Code_Roff(const std::string& text) { return "\\fB" + Escape(text, true) + "\\fR"; }

// Links keep their text only: a manual page has nowhere to go.
std::string Link_Roff(const std::string& text, const std::string&) { return text; }

const Inline_Markup ROFF = {Text_Roff, Code_Roff, "\\fB", "\\fR", "\\fI", "\\fR", Link_Roff};

std::string Inline(const std::string& text) { return Inline_Markdown(text, ROFF); }

bool Skipped(const std::string& t) { return Starts(t, "![") || Starts(t, "<!--"); }

std::string Upper(std::string s) {
    for (char& c : s) c = (char)toupper((unsigned char)c);
    return s;
}

std::string Convert(const std::vector<std::string>& lines) {
    std::string roff;
    size_t i = 0;
    while (i < lines.size()) {
        std::string line = lines[i];
        std::string t = Trim(line);
        if (t.empty() || Skipped(t)) {
            i++;
        } else if (Starts(t, "```")) {
            roff += ".PP\n.RS 4\n.nf\n";
            for (i++; i < lines.size() && !Starts(Trim(lines[i]), "```"); i++)
                roff += Line(Escape(lines[i], true)) + "\n";
            roff += ".fi\n.RE\n";
            i++;
        } else if (t[0] == '#') {
            size_t level = t.find_first_not_of('#');
            std::string title = Inline(Trim(t.substr(level)));
            roff += level <= 2 ? ".SH \"" + Upper(title) + "\"\n" : ".SS \"" + title + "\"\n";
            i++;
        } else if (t[0] == '|') {
            roff += ".PP\n.nf\n";
            for (; i < lines.size() && Starts(Trim(lines[i]), "|"); i++) {
                std::string row = Trim(lines[i]);
                if (row.find_first_not_of("|-: ") == std::string::npos) continue;
                roff += Line(Inline(row)) + "\n";
            }
            roff += ".fi\n";
        } else if (Item_Marker(line)) {
            while (i < lines.size() && Item_Marker(lines[i])) {
                bool ordered = lines[i][0] != '-' && lines[i][0] != '*';
                std::string mark = ordered ? lines[i].substr(0, Item_Marker(lines[i]) - 1) : "\\(bu";
                std::string item = Trim(lines[i].substr(Item_Marker(lines[i])));
                for (i++; i < lines.size() && !Trim(lines[i]).empty() && (lines[i][0] == ' ' || lines[i][0] == '\t');
                     i++)
                    item += " " + Trim(lines[i]);
                roff += ".IP " + mark + (ordered ? " 4" : " 2") + "\n" + Line(Inline(item)) + "\n";
            }
        } else {
            std::string paragraph = t;
            for (i++; i < lines.size(); i++) {
                std::string next = Trim(lines[i]);
                if (next.empty() || next[0] == '#' || next[0] == '|' || Starts(next, "```") || Item_Marker(lines[i]) ||
                    Skipped(next))
                    break;
                paragraph += " " + next;
            }
            roff += ".PP\n" + Line(Inline(paragraph)) + "\n";
        }
    }
    return roff;
}

// The synopsis lines of the usage text ("usage: trellum ...", "       trellum ...")
// and the explanation after them.
std::string Synopsis(const std::string& usage, std::string* after) {
    std::string roff;
    size_t start = 0;
    while (start < usage.size()) {
        size_t end = usage.find('\n', start);
        if (end == std::string::npos) end = usage.size();
        std::string t = Trim(usage.substr(start, end - start));
        start = end + 1;
        if (Starts(t, "usage:")) t = Trim(t.substr(6));
        if (Starts(t, "trellum")) {
            if (!roff.empty()) roff += ".br\n";
            roff += ".B trellum\n";
            std::string rest = Trim(t.substr(7));
            if (!rest.empty()) roff += Line(Escape(rest, true)) + "\n";
        } else if (!t.empty()) {
            *after += (after->empty() ? "" : " ") + t;
        }
    }
    return roff;
}

bool Run_Program(const std::string& program, std::string* out) {
    std::string quoted = "'";
    for (char c : program) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "' --help";
    FILE* pipe = popen(quoted.c_str(), "r");
    if (!pipe) return false;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) out->append(buffer, n);
    return pclose(pipe) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fprintf(stderr, "usage: gen_man <README.md> <output.1> <version> <date> <PROGRAM>\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "gen_man: cannot read %s\n", argv[1]);
        return 1;
    }
    std::string usage;
    if (!Run_Program(argv[5], &usage) || usage.find("trellum") == std::string::npos) {
        std::fprintf(stderr, "gen_man: %s --help gave no usage text\n", argv[5]);
        return 1;
    }
    // The opening paragraphs (below the title, up to the first section) and
    // the usage part.
    std::vector<std::string> opening, part;
    std::string line;
    int where = 0;  // 0 title, 1 opening, 2 between, 3 usage part
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::string t = Trim(line);
        if (where == 0 && Starts(t, "# ")) {
            where = 1;
            continue;
        }
        if (where == 1 && Starts(t, "## ")) where = 2;
        if (where < 3 && t == "## Using it") where = 3;
        if (where == 3 && t == "<!-- end of the user guide -->") break;
        if (where == 1) opening.push_back(line);
        if (where == 3) part.push_back(line);
    }
    if (opening.empty() || part.empty()) {
        std::fprintf(stderr, "gen_man: %s lacks the opening paragraphs or the \"## Using it\" part\n", argv[1]);
        return 1;
    }
    std::string explained;
    std::string synopsis = Synopsis(usage, &explained);
    std::string roff = ".TH TRELLUM 1 \"" + std::string(argv[4]) + "\" \"Trellum " + argv[3] + "\" \"User Commands\"\n";
    roff += ".SH NAME\ntrellum \\- measure on magnified camera pictures\n";
    roff += ".SH SYNOPSIS\n" + synopsis;
    roff += ".SH DESCRIPTION\n";
    std::string description = Convert(opening);
    // The first paragraph starts right below the heading.
    if (Starts(description, ".PP\n")) description.erase(0, 4);
    roff += description;
    if (!explained.empty()) roff += ".PP\n" + Line(Escape(explained, true)) + "\n";
    roff += Convert(part);
    roff += ".SH \"SEE ALSO\"\nThe same text as a web page: \\fI/usr/share/doc/trellum/user\\-guide.html\\fR "
            "(Help > User guide, F1).\n";
    // The one non-ASCII letter of the README, by its roff name: the page
    // reads the same in any locale.
    for (size_t at = roff.find("\xC2\xB5"); at != std::string::npos; at = roff.find("\xC2\xB5", at))
        roff.replace(at, 2, "\\(mc");
    std::ofstream out(argv[2], std::ios::binary);
    out << roff;
    out.close();
    if (!out) {
        std::fprintf(stderr, "gen_man: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
