// A small PDF writer for the reference converter: lines of text set in
// Helvetica on A4 pages, as many pages as they need.
#pragma once

#include <string>
#include <vector>

// The bytes of a whole PDF file holding the lines (UTF-8). Characters outside
// the WinAnsi set become '?'; long lines are wrapped at blanks.
std::string WritePdf(const std::vector<std::string>& lines, const std::string& title);
