// A renderer that only writes a constant colour: the ceiling of the present
// path (upload, two dispatches, copy, present) in the frame-rate measurement.
// Its alpha 0 is a value the program's renderer never writes (that is 1).
RWTexture2D<float4> output : register(u0);

cbuffer FrameConstants : register(b0)
{
    float paddleX;
    float time;
    float width;
    float height;
};

[numthreads(8, 8, 1)]
void renderCS(uint3 pixelId : SV_DispatchThreadID)
{
    if (pixelId.x < (uint)width && pixelId.y < (uint)height)
    {
        output[pixelId.xy] = float4(0.1, 0.2, 0.4, 0.0);
    }
}
