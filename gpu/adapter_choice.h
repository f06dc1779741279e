#pragma once
// Which graphics adapter the program measures. The system lists its adapters
// (EnumAdapters1: adapter i is the one --list-adapters numbers i) and, where
// it can, ranks them by performance (EnumAdapterByGpuPreference, high
// performance first). The backend only reads both lists; the choice over
// them is made here, where it is tested without a device.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct AdapterDescription {
    std::string name;  // the adapter's description (ASCII; other characters as '?')
    uint32_t vendorId = 0;
    uint32_t deviceId = 0;
    uint64_t dedicatedVideoMemory = 0;  // bytes
    bool software = false;              // a software rasteriser, not a graphics card
    uint64_t luid = 0;                  // the adapter's locally unique id, the same in both lists
};

struct AdapterList {
    std::vector<AdapterDescription> adapters;  // in the system's order
    // The adapters' ids as the system ranks them, high performance first;
    // nothing where the system cannot rank them (an older DXGI).
    std::optional<std::vector<uint64_t>> highPerformanceFirst;
};

// Without a ranking the program keeps to the cards of one vendor first.
inline constexpr uint32_t kPreferredVendor = 0x10DE;

// The adapter a benchmark runs on unless the user names one: the first
// hardware adapter of the system's high-performance ranking; without a
// ranking, the first hardware adapter of the preferred vendor, else the first
// hardware adapter. A software adapter only when there is nothing else;
// nothing for an empty list.
std::optional<uint32_t> DefaultAdapter(const AdapterList& list);

// The adapter the program runs on and how it came to be chosen.
struct AdapterSelection {
    int32_t index = -1;  // -1: none (the system lists no adapter)
    bool asked = false;  // named with --adapter; otherwise the default
    std::string name;
    std::string error;  // a named adapter that does not exist: what to tell the user
};
// `asked` is the --adapter index, if one was given.
AdapterSelection SelectAdapter(const AdapterList& list, std::optional<uint32_t> asked);

// The text of --list-adapters: one line per adapter with its index, name,
// vendor and device ids, dedicated memory and whether it is a software
// adapter; the default is marked.
std::string AdapterListText(const AdapterList& list);
