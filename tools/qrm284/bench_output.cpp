#include "tools/qrm284/bench_output.h"

#include "tools/qrm284/json_output.h"
#include "tools/qrm284/terminal_text.h"

#include <unistd.h>

#include <algorithm>
#include <cstdio>

namespace qrm284 {

BenchStatusLines::BenchStatusLines(std::vector<std::string> locations, bool json)
    : locations_(std::move(locations)), rows_(locations_.size()), json_(json),
      terminal_(!json && isatty(STDOUT_FILENO) != 0) {
    for (const std::string& location : locations_) {
        width_ = std::max(width_, location.size());
    }
    if (terminal_) {
        Redraw();
    }
}

std::string BenchStatusLines::Line(size_t player) const {
    std::string line = Printable(locations_[player]);
    line.resize(std::max(line.size(), width_) + 2, ' ');
    line += Printable(rows_[player].step);
    if (rows_[player].percent >= 0) {
        line += "  " + std::to_string(rows_[player].percent) + "%";
    }
    return line;
}

void BenchStatusLines::Redraw() {
    if (drawn_) {
        std::printf("\x1b[%zuA", rows_.size());
    }
    for (size_t player = 0; player < rows_.size(); ++player) {
        std::printf("\r\x1b[K%s\n", Line(player).c_str());
    }
    drawn_ = true;
    std::fflush(stdout);
}

void BenchStatusLines::Set(size_t player, const std::string& step, int percent) {
    if (json_ || player >= rows_.size()) {
        return;
    }
    Row& row = rows_[player];
    const bool newStep = row.step != step;
    if (!newStep && row.percent == percent) {
        return;
    }
    row.step = step;
    row.percent = percent;
    if (terminal_) {
        Redraw();
    } else if (newStep) {
        // A log or a pipe gets the steps, not every percent.
        std::printf("%s\n", Line(player).c_str());
        std::fflush(stdout);
    }
}

void BenchStatusLines::Finish() {
    if (!json_) {
        std::printf("\n");
        std::fflush(stdout);
    }
}

void EmitForPlayer(const std::string& location, nlohmann::json line) {
    line["device"] = location;
    Emit(true, line, {});
    std::fflush(stdout);
}

void PrintTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<size_t> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()), 0);
        for (size_t column = 0; column < row.size(); ++column) {
            widths[column] = std::max(widths[column], Printable(row[column]).size());
        }
    }
    for (const auto& row : rows) {
        std::string line;
        for (size_t column = 0; column < row.size(); ++column) {
            std::string cell = Printable(row[column]);
            if (column + 1 < row.size()) {
                cell.resize(widths[column] + 2, ' ');
            }
            line += cell;
        }
        std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
}

} // namespace qrm284
