#include <gtest/gtest.h>

#include "gpu/adapter_choice.h"

namespace {

const AdapterDescription kIntegrated{"Intel(R) UHD Graphics 770", 0x8086, 0x4680, 128u << 20, false, 11};
const AdapterDescription kDiscrete{"AMD Radeon RX 7800 XT", 0x1002, 0x747E, 16ull << 30, false, 12};
const AdapterDescription kFirstCard{"NVIDIA GeForce RTX 3060", 0x10DE, 0x2503, 12ull << 30, false, 13};
const AdapterDescription kSecondCard{"NVIDIA GeForce RTX 4090", 0x10DE, 0x2684, 24ull << 30, false, 14};
const AdapterDescription kSoftware{"Microsoft Basic Render Driver", 0x1414, 0x008C, 0, true, 15};

}  // namespace

// By default the high-performance hardware adapter, else the preferred vendor's, else hardware; software only if alone.
TEST(AdapterChoice, TheDefaultIsTheHighPerformanceHardwareAdapter)
{
    const auto Ranking = [](std::vector<uint64_t> ids) { return std::optional<std::vector<uint64_t>>(std::move(ids)); };
    const struct { std::vector<AdapterDescription> adapters; std::optional<std::vector<uint64_t>> ranking; std::optional<uint32_t> chosen; } cases[] = {
        {{kIntegrated, kDiscrete, kSoftware}, Ranking({12, 11, 15}), 1},      // a laptop: integrated first, another vendor's card second
        {{kFirstCard, kSecondCard, kSoftware}, Ranking({14, 13, 15}), 1},     // two cards of one vendor
        {{kSoftware, kIntegrated}, Ranking({15, 11}), 1},                     // a ranking that puts software first
        {{kSoftware}, Ranking({15}), 0},                                      // software only
        {{kSoftware}, std::nullopt, 0},
        {{kIntegrated, kDiscrete, kSecondCard, kSoftware}, std::nullopt, 2},  // no ranking: the preferred vendor
        {{kSoftware, kIntegrated, kDiscrete}, std::nullopt, 1},               // no ranking, no such vendor: hardware first
        {{kIntegrated, kDiscrete}, Ranking({99}), 0},                         // a ranking of ids the list lacks
        {{}, Ranking({}), std::nullopt},
    };
    for (size_t i = 0; i < std::size(cases); ++i) {
        const AdapterList list{cases[i].adapters, cases[i].ranking};
        EXPECT_EQ(DefaultAdapter(list), cases[i].chosen) << "case " << i;
    }
}

// --list-adapters shows every adapter and marks the default; --adapter N takes N, or names the adapters there are.
TEST(AdapterChoice, ListedAdaptersAreTheOnesThatCanBeAskedFor)
{
    const AdapterList laptop{{kIntegrated, kDiscrete, kSoftware}, std::vector<uint64_t>{12, 11, 15}};
    EXPECT_EQ(AdapterListText(laptop),
              "Graphics adapters (* the default; --adapter N measures another):\n"
              "  0  Intel(R) UHD Graphics 770: vendor 0x8086, device 0x4680, 128 MiB dedicated video memory\n"
              "* 1  AMD Radeon RX 7800 XT: vendor 0x1002, device 0x747E, 16384 MiB dedicated video memory\n"
              "  2  Microsoft Basic Render Driver: vendor 0x1414, device 0x008C, 0 MiB dedicated video memory, software\n");
    EXPECT_EQ(AdapterListText(AdapterList{}), "The system lists no graphics adapter.\n");

    const struct { AdapterList list; std::optional<uint32_t> asked; int32_t index; bool isAsked; const char* text; } cases[] = {
        {laptop, std::nullopt, 1, false, "AMD Radeon RX 7800 XT"},
        {laptop, 2, 2, true, "Microsoft Basic Render Driver"},  // asked for, even software
        {laptop, 3, -1, false,
         "\"--adapter 3\": there is no adapter 3; the adapters are 0 (Intel(R) UHD Graphics 770), 1 (AMD Radeon RX 7800 XT), "
         "2 (Microsoft Basic Render Driver)"},
        {AdapterList{}, 0, -1, false, "\"--adapter 0\": there is no adapter 0; the system lists none"},
        {AdapterList{}, std::nullopt, -1, false, ""},
    };
    for (const auto& c : cases) {
        const AdapterSelection s = SelectAdapter(c.list, c.asked);
        EXPECT_EQ(std::make_tuple(s.index, s.asked, s.index >= 0 ? s.name : s.error),
                  std::make_tuple(c.index, c.isAsked, std::string(c.text)));
    }
}
