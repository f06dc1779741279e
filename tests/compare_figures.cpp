// Prints what the comparison makes of results files, every digit kept, as
// JSON: for each file its score and frame-rate verdicts against the first
// and its frame-time curve. tests/compare_check.py checks them against its
// own computation with SciPy and NumPy.
//   orvalis_compare_figures A.json B.json [...]
#include <iostream>

#include <nlohmann/json.hpp>

#include "bench/compare.h"

namespace {

nlohmann::json Figures(const VerdictFigures& v)
{
    static const char* const tests[] = {"none", "welch", "bootstrap"};
    return {{"change", v.changePercent ? nlohmann::json(*v.changePercent) : nlohmann::json()},
            {"verdict", VerdictText(v.verdict)},
            {"test", tests[static_cast<int>(v.test)]},
            {"p", v.p},
            {"low", v.changeInterval.low},
            {"high", v.changeInterval.high}};
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<ResultsFileContent> files;
    for (int i = 1; i < argc; ++i) {
        std::string problem;
        std::optional<ResultsFileContent> file = ReadResultsFile(argv[i], argv[i], problem);
        if (!file) {
            std::cerr << argv[i] << ": " << problem << "\n";
            return 2;
        }
        files.push_back(std::move(*file));
    }
    const Comparison c = CompareResults(std::move(files));
    nlohmann::json out = nlohmann::json::array();
    for (size_t i = 0; i < c.files.size(); ++i) {
        out.push_back({{"score", Figures(c.score[i])}, {"fps", Figures(c.averageFps[i])},
                       {"curve", PercentileCurve(c.files[i])}});
    }
    std::cout << out.dump() << "\n";
    return 0;
}
