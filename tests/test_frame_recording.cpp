#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "gpu/frame_recording.h"
#include "gpu/shader_source.h"
#include "gpu/gpu_objects.h"

namespace {

// Records the frame's command sequence as text.
class RecordingSink : public FrameCommandSink {
public:
    std::vector<std::string> calls;
    std::vector<std::vector<Transition>> barrierCalls;

    void Barriers(const std::vector<Transition>& t) override
    {
        barrierCalls.push_back(t);
        calls.push_back("barriers:" + std::to_string(t.size()));
    }
    void UploadBricks() override { calls.push_back("upload bricks"); }
    void BindRootArguments() override { calls.push_back("bind"); }
    void Dispatch(ComputePipeline pipeline, DispatchSize g) override
    {
        calls.push_back(std::string(pipeline == ComputePipeline::Render ? "render " : "physics ") + std::to_string(g.x) + "x" + std::to_string(g.y) +
                        "x" + std::to_string(g.z));
    }
    void DebrisUavBarrier() override { calls.push_back("debris uav barrier"); }
    void CopyOutputToBackBuffer() override { calls.push_back("copy to back buffer"); }
};

}  // namespace

TEST(FailureText, LowercaseHexWithoutLeadingZeros)
{
    EXPECT_EQ(FailureText("CreateDevice", static_cast<int32_t>(0x887A0004u)), "CreateDevice (hr=0x887a0004)");
    EXPECT_EQ(FailureText("Present", static_cast<int32_t>(0x80070057u)), "Present (hr=0x80070057)");
    EXPECT_EQ(FailureText("Signal fence", 0x1), "Signal fence (hr=0x1)");
}

TEST(FailureText, ARemovedDeviceNamesItsReasonAndWhatItMeans)
{
    const struct {
        uint32_t reason;
        const char* text;
    } cases[] = {
        {0x887A0006u, "Device removed: 0x887a0006 DXGI_ERROR_DEVICE_HUNG (the GPU stopped responding and was reset)"},
        {0x887A0005u, "Device removed: 0x887a0005 DXGI_ERROR_DEVICE_REMOVED (the graphics card was removed or "
                      "disabled, or its driver was updated)"},
        {0x887A0007u, "Device removed: 0x887a0007 DXGI_ERROR_DEVICE_RESET (the GPU was reset after a command failed)"},
        {0x887A0020u, "Device removed: 0x887a0020 DXGI_ERROR_DRIVER_INTERNAL_ERROR (the graphics driver failed)"},
        {0x887A0001u, "Device removed: 0x887a0001 DXGI_ERROR_INVALID_CALL (the device was given invalid data)"},
        {0x0u, "Device removed: 0x0 S_OK (the device still answers)"},
        {0x80004005u, "Device removed: 0x80004005 (unknown reason)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DeviceRemovedText(static_cast<int32_t>(c.reason)), c.text);
    }
}

TEST(Dispatch, RendererCoversEveryPixelInEightByEightGroups)
{
    const DispatchSize small = RenderDispatch(854, 480);
    EXPECT_EQ(small.x, 107u);
    EXPECT_EQ(small.y, 60u);
    EXPECT_EQ(small.z, 1u);
    const DispatchSize full = RenderDispatch(1920, 1080);
    EXPECT_EQ(full.x, 240u);
    EXPECT_EQ(full.y, 135u);
    EXPECT_EQ(RenderDispatch(1, 1).x, 1u);
    EXPECT_EQ(kPhysicsDispatch.x * 64, 8192u);
}

TEST(FrameRecording, FirstFrameUploadsBricksAndSteadyFramesNeedNoExtraBarriers)
{
    GpuObjects gpu;
    bool dirty = true;
    RecordingSink first;
    RecordFrameCommands(gpu, dirty, 854, 480, first);
    const std::vector<std::string> expected = {
        "upload bricks", "barriers:1", "bind", "physics 128x1x1", "debris uav barrier", "render 107x60x1",
        "barriers:2", "copy to back buffer", "barriers:2"};
    EXPECT_EQ(first.calls, expected);  // the brick buffer starts as a copy destination: no barrier before the copy
    EXPECT_FALSE(dirty);
    EXPECT_EQ(gpu.brickBufferState, kStateNonPixelShaderResource);
    EXPECT_EQ(gpu.outputTextureState, kStateUnorderedAccess);
    EXPECT_EQ(first.barrierCalls[1],
              (std::vector<Transition>{{GpuResource::OutputTexture, kStateUnorderedAccess, kStateCopySource},
                                       {GpuResource::BackBuffer, kStatePresent, kStateCopyDest}}));
    EXPECT_EQ(first.barrierCalls[2],
              (std::vector<Transition>{{GpuResource::BackBuffer, kStateCopyDest, kStatePresent},
                                       {GpuResource::OutputTexture, kStateCopySource, kStateUnorderedAccess}}));

    RecordingSink steady;
    RecordFrameCommands(gpu, dirty, 854, 480, steady);
    EXPECT_EQ(steady.calls.front(), "bind");
    EXPECT_EQ(steady.calls.size(), 7u);

    dirty = true;  // a later upload moves the brick buffer back to copy destination first
    RecordingSink later;
    RecordFrameCommands(gpu, dirty, 1920, 1080, later);
    EXPECT_EQ(later.calls[0], "barriers:1");
    EXPECT_EQ(later.barrierCalls[0][0], (Transition{GpuResource::BrickBuffer, kStateNonPixelShaderResource, kStateCopyDest}));
    EXPECT_EQ(later.calls[1], "upload bricks");
    EXPECT_EQ(later.calls[6], "render 240x135x1");
}

TEST(FrameRecording, StatesLeftElsewhereAreBroughtBackInOneBarrierCall)
{
    GpuObjects gpu;
    gpu.debrisBufferState = kStateCopyDest;
    gpu.outputTextureState = kStateCopySource;
    bool dirty = false;
    RecordingSink sink;
    RecordFrameCommands(gpu, dirty, 64, 64, sink);
    ASSERT_EQ(sink.calls[0], "barriers:2");
    EXPECT_EQ(sink.barrierCalls[0],
              (std::vector<Transition>{{GpuResource::DebrisBuffer, kStateCopyDest, kStateUnorderedAccess},
                                       {GpuResource::OutputTexture, kStateCopySource, kStateUnorderedAccess}}));
    EXPECT_EQ(gpu.debrisBufferState, kStateUnorderedAccess);
}

TEST(DebrisClear, TransitionsOnlyWhenNeeded)
{
    GpuObjects gpu;
    EXPECT_EQ(DebrisClearTransitionsBefore(gpu),
              (std::vector<Transition>{{GpuResource::DebrisBuffer, kStateUnorderedAccess, kStateCopyDest}}));
    gpu.debrisBufferState = kStateCopyDest;
    EXPECT_TRUE(DebrisClearTransitionsBefore(gpu).empty());
    EXPECT_EQ(DebrisClearTransitionsAfter(gpu),
              (std::vector<Transition>{{GpuResource::DebrisBuffer, kStateCopyDest, kStateUnorderedAccess}}));
    EXPECT_EQ(gpu.debrisBufferState, kStateUnorderedAccess);
}

TEST(Resize, DecisionsClampingAndConstantBlocks)
{
    EXPECT_EQ(DecideResize(false, false, 1920, 1080, 640, 0).kind, ResizeKind::StoreOnly);
    EXPECT_EQ(DecideResize(true, false, 1920, 1080, 0, 0).kind, ResizeKind::IgnoreZero);
    EXPECT_EQ(DecideResize(true, false, 1920, 1080, 1920, 1080).kind, ResizeKind::SameSize);
    // After a failed recovery, restoring the same size tries again.
    EXPECT_EQ(DecideResize(true, true, 1920, 1080, 1920, 1080).kind, ResizeKind::Resize);
    EXPECT_EQ(DecideResize(true, true, 1920, 1080, 0, 0).kind, ResizeKind::IgnoreZero);
    const ResizeDecision big = DecideResize(true, false, 1920, 1080, 10000, 5000);
    EXPECT_EQ(big.kind, ResizeKind::Resize);
    EXPECT_EQ(big.width, 8192u);
    EXPECT_EQ(big.height, 5000u);
    // Each swap-chain buffer has its own constant block, 256-byte aligned for the root view.
    EXPECT_EQ(ConstantBlockOffset(0), 0u);
    EXPECT_EQ(ConstantBlockOffset(1), 512u);
    EXPECT_EQ(ConstantBlockOffset(1) % 256, 0u);
}

TEST(Present, ParametersPerMode)
{
    EXPECT_EQ(PresentParametersFor(PresentMode::VsyncOff, true).syncInterval, 0u);
    EXPECT_TRUE(PresentParametersFor(PresentMode::VsyncOff, true).allowTearing);
    EXPECT_FALSE(PresentParametersFor(PresentMode::VsyncOff, false).allowTearing);
    EXPECT_EQ(PresentParametersFor(PresentMode::VsyncOn, true).syncInterval, 1u);
    EXPECT_FALSE(PresentParametersFor(PresentMode::VsyncOn, true).allowTearing);
    EXPECT_EQ(PresentParametersFor(PresentMode::TripleBuffer, true).syncInterval, 0u);
    EXPECT_FALSE(PresentParametersFor(PresentMode::TripleBuffer, true).allowTearing);  // never tears
    EXPECT_EQ(PresentParametersFor(static_cast<PresentMode>(7), true).syncInterval, 1u);
}

TEST(ShaderSource, MissingFileAndAFailedCheckSayWhatWentWrong)
{
    const std::filesystem::path dir = std::filesystem::temp_directory_path() / "orvalis_shader_source_test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    EXPECT_EQ(ShaderPathBeside(dir / "OrvalisBench.exe"), dir / "orvalis_shaders.hlsl");
    try {
        RequireShaderFile(dir / "orvalis_shaders.hlsl");
        ADD_FAILURE() << "a missing file was accepted";
    } catch (const std::filesystem::filesystem_error&) {
        ADD_FAILURE() << "a missing file is not a failed check";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "orvalis_shaders.hlsl not found next to the executable");
    }
    // A symbolic link to itself cannot be checked: the error names the "exists" operation.
    std::filesystem::create_symlink("orvalis_shaders.hlsl", dir / "orvalis_shaders.hlsl");
    try {
        RequireShaderFile(dir / "orvalis_shaders.hlsl");
        ADD_FAILURE() << "a failed check was accepted";
    } catch (const std::filesystem::filesystem_error& e) {
        EXPECT_NE(std::string(e.what()).find("exists"), std::string::npos) << e.what();
        EXPECT_EQ(std::string(e.what()).find("status"), std::string::npos) << e.what();
    }
    std::filesystem::remove_all(dir);
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
    EXPECT_NE(text.find("\nfile.hlsl(10): error\n(2 more lines in the debugger output)"), std::string::npos) << text;
    EXPECT_EQ(text.find("(11)"), std::string::npos);
    EXPECT_EQ(text.find('\r'), std::string::npos);
}
