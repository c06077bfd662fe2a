// What --all shows: one status line per player while the workers run
// (redrawn in place on a terminal, a line per change of phase elsewhere),
// the workers' JSON lines with the player's location in each, and a table.
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace qrm284 {

class BenchStatusLines {
public:
    // Shows nothing under --json.
    BenchStatusLines(std::vector<std::string> locations, bool json);
    // The player's step (phase, file) and how far it is; percent < 0: none.
    void Set(size_t player, const std::string& step, int percent);
    // The lines stay as they are; what is printed next goes below them.
    void Finish();

private:
    std::string Line(size_t player) const;
    void Redraw();

    struct Row {
        std::string step = "waiting";
        int percent = -1;
    };
    std::vector<std::string> locations_;
    std::vector<Row> rows_;
    size_t width_ = 6;
    bool json_;
    bool terminal_;
    bool drawn_ = false;
};

// The worker's line with "device" set to the player's location, printed.
void EmitForPlayer(const std::string& location, nlohmann::json line);

// Rows of cells in columns as wide as their widest cell; the first row is the heading.
void PrintTable(const std::vector<std::vector<std::string>>& rows);

} // namespace qrm284
