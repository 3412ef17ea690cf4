// Build-time generator of the user guide: the README's usage part as one
// HTML page, installed with the program and opened by Help > User guide.
//
//   gen_guide <README.md> <output.html> <title>
//
// The usage part runs from the heading "## Using it" to the line
// "<!-- end of the user guide -->" (or the end of the file). The README is
// our own text, so only the Markdown it uses is understood: headings,
// paragraphs, "-" and "1." lists with indented continuation lines, fenced
// code blocks, tables, `code`, **bold**, *emphasis* and [links](address).
// Anything else passes through as text, escaped.

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "readme_markdown.h"

namespace {

std::string Escape(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '&') out += "&amp;";
        else if (c == '<') out += "&lt;";
        else if (c == '>') out += "&gt;";
        else if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

// Inline markup of one run of text, as HTML.
std::string Code_Html(const std::string& text) { return "<code>" + Escape(text) + "</code>"; }

std::string Link_Html(const std::string& text, const std::string& address) {
    return "<a href=\"" + Escape(address) + "\">" + text + "</a>";
}

const Inline_Markup HTML = {Escape, Code_Html, "<strong>", "</strong>", "<em>", "</em>", Link_Html};

std::string Inline(const std::string& text) { return Inline_Markdown(text, HTML); }

std::vector<std::string> Cells(const std::string& row) {
    std::vector<std::string> cells;
    std::string t = Trim(row);
    if (Starts(t, "|")) t.erase(0, 1);
    if (!t.empty() && t.back() == '|') t.pop_back();
    std::stringstream in(t);
    std::string cell;
    while (std::getline(in, cell, '|')) cells.push_back(Trim(cell));
    return cells;
}

std::string Convert(const std::vector<std::string>& lines) {
    std::string html;
    size_t i = 0;
    while (i < lines.size()) {
        std::string line = lines[i];
        std::string t = Trim(line);
        if (t.empty()) {
            i++;
        } else if (Starts(t, "```")) {
            html += "<pre><code>";
            for (i++; i < lines.size() && !Starts(Trim(lines[i]), "```"); i++) html += Escape(lines[i]) + "\n";
            html += "</code></pre>\n";
            i++;
        } else if (t[0] == '#') {
            size_t level = t.find_first_not_of('#');
            if (level > 6) level = 6;
            std::string n = std::to_string(level);
            html += "<h" + n + ">" + Inline(Trim(t.substr(level))) + "</h" + n + ">\n";
            i++;
        } else if (t[0] == '|') {
            html += "<table>\n";
            bool head = true;
            for (; i < lines.size() && Starts(Trim(lines[i]), "|"); i++) {
                std::vector<std::string> cells = Cells(lines[i]);
                if (!cells.empty() && cells[0].find_first_not_of("-: ") == std::string::npos) continue;
                html += "<tr>";
                for (const std::string& c : cells) html += (head ? "<th>" : "<td>") + Inline(c) + (head ? "</th>" : "</td>");
                html += "</tr>\n";
                head = false;
            }
            html += "</table>\n";
        } else if (Item_Marker(line)) {
            bool ordered = line[0] != '-' && line[0] != '*';
            html += ordered ? "<ol>\n" : "<ul>\n";
            while (i < lines.size() && Item_Marker(lines[i]) && (lines[i][0] != '-' && lines[i][0] != '*') == ordered) {
                std::string item = Trim(lines[i].substr(Item_Marker(lines[i])));
                for (i++; i < lines.size() && !Trim(lines[i]).empty() && (lines[i][0] == ' ' || lines[i][0] == '\t'); i++)
                    item += " " + Trim(lines[i]);
                html += "<li>" + Inline(item) + "</li>\n";
            }
            html += ordered ? "</ol>\n" : "</ul>\n";
        } else {
            std::string paragraph = t;
            for (i++; i < lines.size(); i++) {
                std::string next = Trim(lines[i]);
                if (next.empty() || next[0] == '#' || next[0] == '|' || Starts(next, "```") || Item_Marker(lines[i])) break;
                paragraph += " " + next;
            }
            html += "<p>" + Inline(paragraph) + "</p>\n";
        }
    }
    return html;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: gen_guide <README.md> <output.html> <title>\n");
        return 2;
    }
    std::ifstream in(argv[1]);
    if (!in) {
        std::fprintf(stderr, "gen_guide: cannot read %s\n", argv[1]);
        return 1;
    }
    std::vector<std::string> part;
    std::string line;
    bool inside = false;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!inside && Trim(line) == "## Using it") inside = true;
        if (inside && Trim(line) == "<!-- end of the user guide -->") break;
        if (inside) part.push_back(line);
    }
    if (part.empty()) {
        std::fprintf(stderr, "gen_guide: %s has no \"## Using it\" part\n", argv[1]);
        return 1;
    }
    std::string title = Escape(argv[3]);
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
                       "</title>\n<style>\nbody { font-family: sans-serif; max-width: 50em; margin: 2em auto; "
                       "padding: 0 1em; line-height: 1.45; }\ncode { background: #eee; padding: 0 .2em; }\n"
                       "pre { background: #eee; padding: .5em; overflow-x: auto; }\n"
                       "table { border-collapse: collapse; }\nth, td { border: 1px solid #bbb; padding: .2em .5em; }\n"
                       "</style>\n</head>\n<body>\n<h1>" + title + "</h1>\n" + Convert(part) + "</body>\n</html>\n";
    std::ofstream out(argv[2], std::ios::binary);
    out << html;
    out.close();
    if (!out) {
        std::fprintf(stderr, "gen_guide: cannot write %s\n", argv[2]);
        return 1;
    }
    return 0;
}
