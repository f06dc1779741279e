#pragma once
#include <string_view>

// The chart libraries that the report and the comparison page carry inline,
// built into the program from third_party/ (cmake/embed_files.cmake): each is
// the released minified file, byte for byte, with its own licence header.
extern const std::string_view kChartJs;          // chart.js 3.9.1
extern const std::string_view kHammerJs;         // Hammer.js 2.0.8: the zoom plug-in pans and pinches with it
extern const std::string_view kChartZoomPlugin;  // chartjs-plugin-zoom 1.2.1
