// Writes a constant colour: the present path's ceiling in the frame-rate measurement; its alpha 0 the program never writes.
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
