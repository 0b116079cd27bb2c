// Byte-exact encoding tables: every tests/asm/enc/*.mac file is a source whose statements
// carry what they must assemble to in a trailing comment.
//
//   seg32                      ; no expectation: assembled as context (modes, labels, data)
//   start: add.l #5,r1         ; 81 c2 05 00 00 00
//    add.b #300,r1             ; error 90
//
// The rows with bytes are assembled together as one program, so labels and addresses are
// real; the bytes of each source line are read back from the listing. Each error row is
// assembled alone after the segment directive in force at that point, and must stop the run
// with that code.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "support.h"

namespace {

struct EncRow {
    int line = 0;            // 1-based line in the file
    std::string text;
    enum { CONTEXT, BYTES, ERROR } expect = CONTEXT;
    std::string bytes;       // "81 c2 05"
    int error = 0;
};

bool is_hex_list(const std::string& s) {
    if (s.empty()) return false;
    std::istringstream in(s);
    std::string tok;
    while (in >> tok)
        if (tok.size() != 2 || !std::isxdigit(static_cast<unsigned char>(tok[0])) ||
            !std::isxdigit(static_cast<unsigned char>(tok[1])))
            return false;
    return true;
}

std::string trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

std::vector<EncRow> read_rows(const std::filesystem::path& file) {
    std::ifstream in(file);
    std::vector<EncRow> rows;
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        EncRow row;
        row.line = ++n;
        row.text = line;
        size_t semi = line.rfind(';');
        if (semi != std::string::npos && trim(line.substr(0, semi)) != "") {
            std::string tail = trim(line.substr(semi + 1));
            for (char& c : tail) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            if (tail.rfind("error ", 0) == 0) {
                row.expect = EncRow::ERROR;
                row.error = std::stoi(tail.substr(6));
            } else if (is_hex_list(tail)) {
                row.expect = EncRow::BYTES;
                std::istringstream hex(tail);
                std::string tok;
                while (hex >> tok) row.bytes += (row.bytes.empty() ? "" : " ") + tok;
            }
        }
        rows.push_back(row);
    }
    return rows;
}

// The code bytes of each source line, read from the listing: a source line's listing lines
// are header lines with hex groups (a word or doubleword group shows its most significant
// byte first), the last of them padded to column 40 and followed by the source echo.
std::vector<std::string> bytes_per_line(const std::string& listing, size_t source_lines) {
    std::vector<std::string> out;
    std::vector<uint8_t> current;
    std::istringstream in(listing);
    std::string l;
    while (out.size() < source_lines && std::getline(in, l)) {
        if (l.size() >= 20 && l[8] == ':' && l[18] == ':') {
            std::istringstream groups(l.substr(20, l.size() >= 40 ? 20 : std::string::npos));
            std::string g;
            while (groups >> g) {
                std::vector<uint8_t> unit;
                for (size_t i = 0; i + 1 < g.size(); i += 2)
                    unit.push_back(static_cast<uint8_t>(std::stoi(g.substr(i, 2), nullptr, 16)));
                current.insert(current.end(), unit.rbegin(), unit.rend());
            }
        }
        if (l.size() >= 40) {
            out.push_back(hex_bytes(current));
            current.clear();
        }
    }
    return out;
}

std::string seg_directive(const std::string& text) {
    std::string t = trim(text.substr(0, text.find(';')));
    return (t == "seg32" || t == "seg16") ? t : "";
}

void check_file(const std::filesystem::path& file) {
    std::vector<EncRow> rows = read_rows(file);
    std::string program;
    std::string mode = "seg16";
    std::vector<std::pair<EncRow, std::string>> error_rows;
    for (const EncRow& row : rows) {
        if (std::string s = seg_directive(row.text); !s.empty()) mode = s;
        if (row.expect == EncRow::ERROR) {
            error_rows.push_back({row, mode});
            program += "\n";
        } else {
            program += row.text + "\n";
        }
    }
    AsmResult r = assemble(program);
    ASSERT_EQ(r.report.code, 0) << file << " stopped in line " << r.report.line << ":" << r.console;
    std::vector<std::string> actual = bytes_per_line(r.listing, rows.size());
    ASSERT_EQ(actual.size(), rows.size()) << file;
    for (size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].expect != EncRow::BYTES) continue;
        SCOPED_TRACE(file.filename().string() + ":" + std::to_string(rows[i].line) + ": " + rows[i].text);
        EXPECT_EQ(actual[i], rows[i].bytes);
    }
    for (const auto& [row, row_mode] : error_rows) {
        SCOPED_TRACE(file.filename().string() + ":" + std::to_string(row.line) + ": " + row.text);
        AsmResult e = assemble(row_mode + "\n" + row.text + "\n");
        EXPECT_EQ(e.report.code, row.error) << e.console;
    }
}

}  // namespace

TEST(EncodingFiles, EveryStatementAssemblesAsAnnotated) {
    std::filesystem::path dir = std::filesystem::path(ZV_SOURCE_DIR) / "tests/asm/enc";
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        if (entry.path().extension() == ".mac") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    ASSERT_FALSE(files.empty());
    for (const auto& f : files) {
        SCOPED_TRACE(f.filename().string());
        check_file(f);
    }
}
