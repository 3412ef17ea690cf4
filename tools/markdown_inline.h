// The inline Markdown of our README (`code`, **bold**, *emphasis* and
// [links](address)) for the build-time generators of the user guide and the
// manual page: one reading of the markup, each output with its own.
#pragma once

#include <string>

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
