#pragma once

#include "TreeViewItem/Formats/tviCabinetFile.h"

#include <cstddef>
#include <cstdint>

// Deterministic cabinets of any size for benchmarks, tests and the window's screenshots:
// nested folders, Japanese names (some with the trail byte '\'), marks, descriptions,
// keywords, titles and failed items.
class tviCabinetGenerator {
public:
    static tviCabinetDocument generate(size_t itemCount, std::uint32_t seed = 1);
};
