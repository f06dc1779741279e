#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "bench_files.h"
#include "gpu/frame_recording.h"
#include "gpu/gpu_objects.h"
#include "gpu/shader_source.h"

namespace {

// The frame's commands as text; a barrier lists its transitions as "resource before>after".
class RecordingSink : public FrameCommandSink {
public:
    std::vector<std::string> calls;

    void Barriers(const std::vector<Transition>& transitions) override
    {
        static const char* const kResources[] = {"bricks", "debris", "output", "back"};
        std::string text = "barrier";
        for (const Transition& t : transitions) {
            text += std::string(text.size() > 7 ? ", " : " ") + kResources[static_cast<int>(t.resource)] + " " +
                    State(t.before) + ">" + State(t.after);
        }
        calls.push_back(text);
    }
    void UploadBricks() override { calls.push_back("upload bricks"); }
    void BindRootArguments() override { calls.push_back("bind"); }
    void Dispatch(ComputePipeline pipeline, DispatchSize g) override
    {
        calls.push_back(std::string(pipeline == ComputePipeline::Render ? "render " : "physics ") + std::to_string(g.x) +
                        "x" + std::to_string(g.y) + "x" + std::to_string(g.z));
    }
    void DebrisUavBarrier() override { calls.push_back("debris uav barrier"); }
    void CopyOutputToBackBuffer() override { calls.push_back("copy to back buffer"); }

    static std::string State(uint32_t state)
    {
        const std::map<uint32_t, const char*> names = {{kStateCopyDest, "copy-dest"}, {kStateCopySource, "copy-source"},
            {kStateUnorderedAccess, "uav"}, {kStateNonPixelShaderResource, "srv"}, {kStatePresent, "present"}};
        return names.count(state) ? names.at(state) : std::to_string(state);
    }
};

}  // namespace

TEST(FailureText, NamesTheOperationAndTheCodeOrTheRemovalReason)
{
    EXPECT_EQ(FailureText("CreateDevice", static_cast<int32_t>(0x887A0004u)), "CreateDevice (hr=0x887a0004)");
    EXPECT_EQ(FailureText("Signal fence", 0x1), "Signal fence (hr=0x1)");
    for (const auto& [code, text] : {std::pair{0x887A0006u, "0x887a0006 DXGI_ERROR_DEVICE_HUNG (the GPU stopped responding and was reset)"},
                                     std::pair{0x887A0020u, "0x887a0020 DXGI_ERROR_DRIVER_INTERNAL_ERROR (the graphics driver failed)"},
                                     std::pair{0x80004005u, "0x80004005 (unknown reason)"}}) {
        EXPECT_EQ(DeviceRemovedText(static_cast<int32_t>(code)), std::string("Device removed: ") + text);
    }
}

// Barriers only where a tracked state differs; 854 x 480 needs 107 x 60 groups of 8 x 8, 1920 x 1080 exactly 240 x 135.
TEST(FrameRecording, BarriersOnlyWhereATrackedStateDiffersAndDispatchesThatCoverEveryPixel)
{
    const std::vector<std::string> draw = {"bind", "physics 128x1x1", "debris uav barrier"};
    const std::string copy[] = {"barrier output uav>copy-source, back present>copy-dest", "copy to back buffer",
                                "barrier back copy-dest>present, output copy-source>uav"};
    GpuObjects gpu;
    bool dirty = true;
    RecordingSink first;  // the brick buffer starts as a copy destination: no barrier before its first upload
    RecordFrameCommands(gpu, dirty, 854, 480, first);
    EXPECT_EQ(first.calls, (std::vector<std::string>{"upload bricks", "barrier bricks copy-dest>srv", draw[0], draw[1],
                                                     draw[2], "render 107x60x1", copy[0], copy[1], copy[2]}));

    RecordingSink steady;  // nothing changed: no upload and no extra barrier
    RecordFrameCommands(gpu, dirty, 1920, 1080, steady);
    EXPECT_EQ(steady.calls,
              (std::vector<std::string>{draw[0], draw[1], draw[2], "render 240x135x1", copy[0], copy[1], copy[2]}));

    dirty = true;  // a later upload first moves the brick buffer back; states left elsewhere come back in one call
    std::tie(gpu.debrisBufferState, gpu.outputTextureState) = std::tuple(kStateCopyDest, kStateCopySource);
    RecordingSink later;
    RecordFrameCommands(gpu, dirty, 1, 1, later);
    EXPECT_EQ(later.calls, (std::vector<std::string>{"barrier bricks srv>copy-dest", "upload bricks",
                                                     "barrier bricks copy-dest>srv",
                                                     "barrier debris copy-dest>uav, output copy-source>uav", draw[0],
                                                     draw[1], draw[2], "render 1x1x1", copy[0], copy[1], copy[2]}));
    EXPECT_EQ(std::make_pair(gpu.debrisBufferState, gpu.outputTextureState), std::make_pair(kStateUnorderedAccess, kStateUnorderedAccess));

    // The debris clear copies into the buffer and leaves it as the frame wants it.
    EXPECT_EQ(DebrisClearTransitionsBefore(gpu),
              (std::vector<Transition>{{GpuResource::DebrisBuffer, kStateUnorderedAccess, kStateCopyDest}}));
    gpu.debrisBufferState = kStateCopyDest;
    EXPECT_TRUE(DebrisClearTransitionsBefore(gpu).empty());
    EXPECT_EQ(DebrisClearTransitionsAfter(gpu),
              (std::vector<Transition>{{GpuResource::DebrisBuffer, kStateCopyDest, kStateUnorderedAccess}}));
    EXPECT_EQ(gpu.debrisBufferState, kStateUnorderedAccess);
}

// From 1920 x 1080 drawn, after 3840 x 2160 failed.
TEST(Resize, WhatEachNewSizeDoes)
{
    const struct {
        bool gpuReady, buffersMissing;
        uint32_t width, height;
        ResizeDecision expected;
    } cases[] = {
        {false, false, 640, 0, {ResizeKind::StoreOnly, 640, 0}},  // before the device exists
        {true, false, 0, 0, {ResizeKind::IgnoreZero, 0, 0}},      // minimised
        {true, true, 1920, 0, {ResizeKind::IgnoreZero, 1920, 0}},
        {true, false, 1920, 1080, {ResizeKind::SameSize, 1920, 1080}},
        {true, true, 1920, 1080, {ResizeKind::Resize, 1920, 1080}},  // after a failed recovery: try again
        {true, false, 1920, 1079, {ResizeKind::Resize, 1920, 1079}},
        {true, false, 10000, 5000, {ResizeKind::Resize, 8192, 5000}},
        {true, false, 800, 9000, {ResizeKind::Resize, 800, 8192}},
        {true, false, 3840, 2160, {ResizeKind::SameSize, 3840, 2160}},  // failed before: not tried again
        {true, true, 3840, 2160, {ResizeKind::Resize, 3840, 2160}},
    };
    for (const auto& c : cases) {
        const ResizeDecision d = DecideResize(c.gpuReady, c.buffersMissing, 1920, 1080, c.width, c.height, 3840, 2160);
        EXPECT_EQ(std::make_tuple(d.kind, d.width, d.height), std::make_tuple(c.expected.kind, c.expected.width, c.expected.height))
            << c.width << " x " << c.height;
    }
    // Drawing 8192 wide, any wider window is the same size to the GPU.
    EXPECT_EQ(DecideResize(true, false, 8192, 600, 9000, 600).kind, ResizeKind::SameSize);
}

TEST(Present, SyncIntervalAndTearingPerModeAndHdrOnlyWhereTheColourSpaceTook)
{
    EXPECT_EQ(std::make_tuple(HdrColourSpaceTaken(true, 0), HdrColourSpaceTaken(true, static_cast<int32_t>(0x80004005u)),
                              HdrColourSpaceTaken(false, 0)), std::make_tuple(true, false, false));  // S_OK, E_FAIL
    const struct {
        PresentMode mode;
        bool tearingSupported;
        uint32_t syncInterval;
        bool allowTearing;
    } cases[] = {
        {PresentMode::VsyncOff, true, 0, true},      {PresentMode::VsyncOff, false, 0, false},
        {PresentMode::VsyncOn, true, 1, false},      {PresentMode::TripleBuffer, true, 0, false},  // never tears
        {static_cast<PresentMode>(7), true, 1, false},
    };
    for (const auto& c : cases) {
        const PresentParameters p = PresentParametersFor(c.mode, c.tearingSupported);
        EXPECT_EQ(std::make_pair(p.syncInterval, p.allowTearing), std::make_pair(c.syncInterval, c.allowTearing))
            << static_cast<int>(c.mode);
    }
}

TEST(ShaderSource, MissingFileAndAFailedCheckSayWhatWentWrong)
{
    ScratchDirectory scratch;
    const std::filesystem::path& dir = scratch.dir;
    EXPECT_EQ(ShaderPathBeside(dir / "OrvalisBench.exe"), dir / "orvalis_shaders.hlsl");
    const auto failure = [&dir]() -> std::string {
        try {
            RequireShaderFile(dir / "orvalis_shaders.hlsl");
        } catch (const std::filesystem::filesystem_error& e) {
            return std::string("file system: ") + e.what();
        } catch (const std::runtime_error& e) {
            return e.what();
        }
        return "accepted";
    };
    EXPECT_EQ(failure(), "orvalis_shaders.hlsl not found next to the executable");
    // A symbolic link to itself cannot be checked: the error names the "exists" operation.
    std::filesystem::create_symlink("orvalis_shaders.hlsl", dir / "orvalis_shaders.hlsl");
    EXPECT_EQ(failure().rfind("file system: ", 0), 0u) << failure();
    EXPECT_NE(failure().find("exists"), std::string::npos) << failure();
    EXPECT_EQ(failure().find("status"), std::string::npos) << failure();
}

TEST(ShaderSource, CompileFailureKeepsItsFirstLineAndTheCompilersFirstTen)
{
    EXPECT_EQ(CompileFailureText("renderCS", ""), "Failed to compile renderCS");
    std::string messages;
    for (int i = 1; i <= 12; ++i) {
        messages += "file.hlsl(" + std::to_string(i) + "): error\r\n";
    }
    const std::string text = CompileFailureText("updatePhysics", messages);
    EXPECT_EQ(text.substr(0, text.find('\n')), "Failed to compile updatePhysics");
    EXPECT_EQ(std::make_tuple(text.find("\nfile.hlsl(10): error\n(2 more lines in the debugger output)") != std::string::npos,
                              text.find("(11)"), text.find('\r')), std::make_tuple(true, std::string::npos, std::string::npos)) << text;
}
