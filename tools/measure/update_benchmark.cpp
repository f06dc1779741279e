// One frame update on the 1000-brick level with 12 balls in play.
#include <benchmark/benchmark.h>

#include "app/app.h"
#include "app/commands.h"
#include "app/frame.h"
#include "fake_platform.h"

namespace {

void PutTwelveBallsInPlay(App& app)
{
    World& world = app.world;
    world.balls.clear();
    for (int i = 0; i < 12; ++i) {
        // Above the top row, out of every brick's reach but inside the brick
        // test zone: each sub-step scans all 1024 slots without a hit, the
        // worst case of the linear scan, and the world stays the same.
        Ball ball{-15.0f + 2.5f * static_cast<float>(i), 22.0f, 0.0f, 0.0f, true};
        Paint(ball, kOrange);
        world.balls.push_back(ball);
    }
    world.ballLaunched = true;
}

void BM_UpdateFrameSpectrumTwelveBalls(benchmark::State& state)
{
    RecordingPlatform platform;
    App app(platform);
    LoadLevel(app, 5);
    PutTwelveBallsInPlay(app);
    for (auto _ : state) {
        UpdateFrame(app, 1.0f / 60.0f, 1.0f / 60.0f);
        benchmark::DoNotOptimize(app.frameConstants);
    }
    state.counters["bricks"] = static_cast<double>(app.world.bricksLeft);
}
BENCHMARK(BM_UpdateFrameSpectrumTwelveBalls)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

}  // namespace
