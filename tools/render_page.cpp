// SPDX-License-Identifier: GPL-3.0-or-later
// A saved result in, its HTML page out, until corvane-report writes pages itself:
//   render_page SAVED.json [PAGE.html]
// Without PAGE.html the page goes to standard output. Exit status 2: the file cannot be
// read or is no JSON, or the page cannot be written.
#include <fstream>
#include <iostream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <string>

#include "report/page/page.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        std::cerr << "usage: render_page SAVED.json [PAGE.html]\n";
        return 2;
    }
    const std::string path = argv[1];
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        std::cerr << path << ": cannot be read\n";
        return 2;
    }
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    nlohmann::json result = nlohmann::json::parse(text, nullptr, false);
    if (result.is_discarded() || !result.is_object()) {
        std::cerr << path << ": no saved result (not a JSON object)\n";
        return 2;
    }
    // What corvane-report --from will say: the page names the file it was rendered from.
    if (!result.contains("from")) result["from"] = {{"file", path}};
    const std::string page = report::renderPage(result);
    if (argc == 2) {
        std::cout << page;
        return std::cout.good() ? 0 : 2;
    }
    std::ofstream out(argv[2], std::ios::binary);
    out << page;
    out.close();
    if (!out) {
        std::cerr << argv[2] << ": cannot be written\n";
        return 2;
    }
    return 0;
}
