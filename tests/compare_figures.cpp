// Prints, every digit kept, each file's verdicts against the first and its frame-time curve for compare_check.py.
#include <array>
#include <cmath>
#include <iostream>

#include <nlohmann/json.hpp>

#include "bench/compare.h"

int main(int argc, char** argv)
{
    std::vector<ResultsFileContent> files;
    for (int i = 1; i < argc; ++i) {
        std::string problem;
        files.push_back(ReadResultsFile(argv[i], argv[i], problem).value());
    }
    const Comparison c = CompareResults(std::move(files));
    const auto figures = [](const VerdictFigures& v) {
        return nlohmann::json{{"change", v.changePercent.value_or(NAN)}, {"verdict", VerdictText(v.verdict)},
                              {"test", std::array{"none", "welch", "bootstrap"}[static_cast<int>(v.test)]},
                              {"p", v.p}, {"low", v.changeInterval.low}, {"high", v.changeInterval.high}};
    };
    nlohmann::json out = nlohmann::json::array();
    for (size_t i = 0; i < c.files.size(); ++i) {
        out.push_back({{"score", figures(c.score[i])}, {"fps", figures(c.averageFps[i])}, {"curve", PercentileCurve(c.files[i])}});
    }
    std::cout << out.dump() << "\n";
}
