#include "gpu/adapter_choice.h"

#include <cstdio>

namespace {

std::optional<uint32_t> FirstHardware(const AdapterList& list, bool preferredVendorOnly)
{
    for (size_t i = 0; i < list.adapters.size(); ++i) {
        const AdapterDescription& a = list.adapters[i];
        if (!a.software && (!preferredVendorOnly || a.vendorId == kPreferredVendor)) {
            return static_cast<uint32_t>(i);
        }
    }
    return std::nullopt;
}

std::string Hex4(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%04X", static_cast<unsigned>(value));
    return text;
}

std::string Line(const AdapterDescription& a, size_t index, bool isDefault)
{
    return std::string(isDefault ? "* " : "  ") + std::to_string(index) + "  " + a.name + ": vendor " +
           Hex4(a.vendorId) + ", device " + Hex4(a.deviceId) + ", " +
           std::to_string(a.dedicatedVideoMemory / (1024 * 1024)) + " MiB dedicated video memory" +
           (a.software ? ", software\n" : "\n");
}

}  // namespace

std::optional<uint32_t> DefaultAdapter(const AdapterList& list)
{
    if (list.highPerformanceFirst) {
        // Laptops list the integrated chip first and the card people mean second.
        for (uint64_t luid : *list.highPerformanceFirst) {
            for (size_t i = 0; i < list.adapters.size(); ++i) {
                if (list.adapters[i].luid == luid && !list.adapters[i].software) {
                    return static_cast<uint32_t>(i);
                }
            }
        }
    } else if (const std::optional<uint32_t> preferred = FirstHardware(list, true)) {
        return preferred;
    }
    if (const std::optional<uint32_t> hardware = FirstHardware(list, false)) {
        return hardware;
    }
    return list.adapters.empty() ? std::nullopt : std::optional<uint32_t>(0);
}

AdapterSelection SelectAdapter(const AdapterList& list, std::optional<uint32_t> asked)
{
    AdapterSelection selection;
    if (asked && *asked >= list.adapters.size()) {
        selection.error = "\"--adapter " + std::to_string(*asked) + "\": there is no adapter " + std::to_string(*asked);
        if (list.adapters.empty()) {
            selection.error += "; the system lists none";
        }
        for (size_t i = 0; i < list.adapters.size(); ++i) {
            selection.error += (i == 0 ? "; the adapters are " : ", ") + std::to_string(i) + " (" + list.adapters[i].name + ")";
        }
        return selection;
    }
    const std::optional<uint32_t> index = asked ? asked : DefaultAdapter(list);
    if (index) {
        selection.index = static_cast<int32_t>(*index);
        selection.asked = asked.has_value();
        selection.name = list.adapters[*index].name;
    }
    return selection;
}

std::string AdapterListText(const AdapterList& list)
{
    if (list.adapters.empty()) {
        return "The system lists no graphics adapter.\n";
    }
    const std::optional<uint32_t> chosen = DefaultAdapter(list);
    std::string text = "Graphics adapters (* the default; --adapter N measures another):\n";
    for (size_t i = 0; i < list.adapters.size(); ++i) {
        text += Line(list.adapters[i], i, chosen && *chosen == i);
    }
    return text;
}
