#include "cli_runner.h"

#include "utf8_text.h"

#include <fstream>
#include <sstream>

std::string CliResult::LastErrLine() const {
    std::string text = err;
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    std::size_t lf = text.rfind('\n');
    return lf == std::string::npos ? text : text.substr(lf + 1);
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool PrintableOnly(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F) return false;
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
            static_cast<unsigned char>(text[i + 1]) <= 0x9F)
            return false;
    }
    return IsValidUtf8(text.data(), text.size());
}
