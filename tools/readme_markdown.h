// The Markdown of our README as the build-time generators of the user guide
// and the manual page read it: line helpers, list markers, and the inline
// markup (`code`, **bold**, *emphasis* and [links](address)), one reading of
// the markup with each output's own.
#pragma once

#include <cctype>
#include <string>

inline std::string Trim(const std::string& s) {
    size_t a = s.find_first_not_of(" \t");
    if (a == std::string::npos) return "";
    size_t b = s.find_last_not_of(" \t\r");
    return s.substr(a, b - a + 1);
}

inline bool Starts(const std::string& s, const std::string& prefix) { return s.compare(0, prefix.size(), prefix) == 0; }

// The list marker's length ("- ", "12. "), or 0 when the line starts no item.
inline size_t Item_Marker(const std::string& line) {
    if (Starts(line, "- ") || Starts(line, "* ")) return 2;
    size_t i = 0;
    while (i < line.size() && isdigit((unsigned char)line[i])) i++;
    return i > 0 && line.compare(i, 2, ". ") == 0 ? i + 2 : 0;
}

struct Inline_Markup {
    std::string (*Text)(const std::string& text);  // plain text, escaped for the output
    std::string (*Code)(const std::string& text);  // the inside of `code`, marked up
    const char* Bold_Open;
    const char* Bold_Close;
    const char* Emphasis_Open;
    const char* Emphasis_Close;
    // A link from its text (already marked up) and its address as written.
    std::string (*Link)(const std::string& text, const std::string& address);
};

inline std::string Inline_Markdown(const std::string& text, const Inline_Markup& m) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        char c = text[i];
        if (c == '`') {
            size_t end = text.find('`', i + 1);
            if (end != std::string::npos) {
                out += m.Code(text.substr(i + 1, end - i - 1));
                i = end + 1;
                continue;
            }
        } else if (c == '*' && i + 1 < text.size() && text[i + 1] == '*') {
            size_t end = text.find("**", i + 2);
            if (end != std::string::npos) {
                out += m.Bold_Open + Inline_Markdown(text.substr(i + 2, end - i - 2), m) + m.Bold_Close;
                i = end + 2;
                continue;
            }
        } else if (c == '*' && i + 1 < text.size() && text[i + 1] != ' ') {
            size_t end = text.find('*', i + 1);
            if (end != std::string::npos) {
                out += m.Emphasis_Open + Inline_Markdown(text.substr(i + 1, end - i - 1), m) + m.Emphasis_Close;
                i = end + 1;
                continue;
            }
        } else if (c == '[') {
            size_t close = text.find("](", i + 1);
            size_t end = close == std::string::npos ? close : text.find(')', close + 2);
            if (end != std::string::npos) {
                out += m.Link(Inline_Markdown(text.substr(i + 1, close - i - 1), m),
                              text.substr(close + 2, end - close - 2));
                i = end + 1;
                continue;
            }
        }
        out += m.Text(std::string(1, c));
        i++;
    }
    return out;
}
