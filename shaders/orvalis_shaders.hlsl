// Orvalis Benchmark compute programs: debris physics (updatePhysics) and the
// scene renderer (renderCS). Compiled at every start as cs_5_1; self-contained.
//
// Bindings (root signature of the program):
//   b0  FrameConstants, 512 bytes
//   t0  bricks: 1024 x 16-byte records (x, y, colorIndex, alive)
//   u0  output texture, RGBA16F, width x height
//   u1  debris: 8192 x 48-byte particle records, defined here
//
// The renderer draws the playfield seen from the front: world units are mapped
// to pixels so that the whole field (walls at x = +-19, ceiling at y = 20, loss
// line at y = -16) fits the window. Each 8 x 8 tile first collects the bricks
// and particles that can touch it into group-shared lists, so every pixel tests
// only a handful of shapes instead of all 1024 bricks and 8192 particles.

cbuffer FrameConstants : register(b0)
{
    float paddleX;          // 0
    float time;             // 4   game time in seconds
    float width;            // 8
    float height;           // 12
    float brightness;       // 16
    float zero0;            // 20
    float paddleDelta;      // 24
    float explosionCode;    // 28  0 = no burst; ring slot + 1 + 100 x brick colour
    float explosionX;       // 32
    float explosionY;       // 36
    float raySteps;         // 40
    float liveDebris;       // 44  particles counted as live
    float brickCount;       // 48
    float ballGlow;         // 52
    float autoplay;         // 56
    float brickHalfWidth;   // 60
    float brickHalfHeight;  // 64
    float3 zero1;           // 68
    float4 ballPos[12];     // 80:  x, y, active, 0
    float4 ballColor[12];   // 272: r, g, b, 1
};

struct Brick
{
    float x;
    float y;
    float colorIndex;
    float alive;
};

// 48 bytes.
struct Particle
{
    float2 pos;
    float2 vel;
    float3 color;
    float life;      // seconds left; 0 = dead (the cleared buffer is all dead)
    float maxLife;
    float size;
    float lastTime;  // game time of the last update
    float spare;
};

StructuredBuffer<Brick> bricks : register(t0);
RWTexture2D<float4> output : register(u0);
RWStructuredBuffer<Particle> debris : register(u1);

static const uint kParticles = 8192;
static const uint kBurst = 8;
static const float kGravity = 30.0;
static const float kParticleLife = 1.6;

float3 Palette(int index)
{
    switch (index)
    {
    case 0: return float3(0.95, 0.25, 0.30);
    case 1: return float3(1.00, 0.62, 0.15);
    case 2: return float3(0.98, 0.90, 0.25);
    case 3: return float3(0.25, 0.85, 0.40);
    case 4: return float3(0.25, 0.60, 1.00);
    case 5: return float3(0.55, 0.35, 1.00);
    default: return float3(0.95, 0.40, 0.90);
    }
}

// Cheap hash to [0, 1).
float Hash(float n)
{
    return frac(sin(n) * 43758.5453);
}

[numthreads(64, 1, 1)]
void updatePhysics(uint3 id : SV_DispatchThreadID)
{
    const uint index = id.x;
    if (index >= kParticles)
    {
        return;
    }
    Particle p = debris[index];

    // A burst starting this frame takes its ring slot's eight particles.
    if (explosionCode > 0.5)
    {
        const int code = (int)(explosionCode + 0.5);
        const int colour = clamp(code / 100, 0, 6);
        const uint slot = (uint)max(code - colour * 100 - 1, 0);
        const uint first = (slot * kBurst) % kParticles;
        if (index >= first && index < first + kBurst)
        {
            const float k = (float)(index - first);
            const float angle = (k + Hash(time * 13.7 + k)) * (6.2831853 / kBurst);
            const float speed = 6.0 + 8.0 * Hash(time * 7.3 + k * 3.1);
            p.pos = float2(explosionX, explosionY);
            p.vel = float2(cos(angle), sin(angle)) * speed + float2(0.0, 4.0);
            p.color = Palette(colour) * 2.5;
            p.life = kParticleLife * (0.7 + 0.3 * Hash(k + time));
            p.maxLife = p.life;
            p.size = 0.18 + 0.12 * Hash(k * 5.7 + time);
            p.lastTime = time;
            p.spare = 0.0;
            debris[index] = p;
            return;
        }
    }

    if (p.life <= 0.0)
    {
        return;
    }
    const float dt = clamp(time - p.lastTime, 0.0, 0.05);
    p.lastTime = time;
    p.vel.y -= kGravity * dt;
    p.vel *= 1.0 - 0.4 * dt;
    p.pos += p.vel * dt;
    if (abs(p.pos.x) > 20.0)
    {
        p.vel.x = -p.vel.x * 0.6;
        p.pos.x = clamp(p.pos.x, -20.0, 20.0);
    }
    if (p.pos.y < -16.5)
    {
        p.vel.y = abs(p.vel.y) * 0.45;
        p.pos.y = -16.5;
    }
    p.life = max(p.life - dt, 0.0);
    debris[index] = p;
}

// Pixels per world unit and the world point at the centre of the view.
float ViewScale()
{
    return min(height / 40.0, width / 42.0);
}

float2 PixelToWorld(float2 pixel)
{
    const float scale = ViewScale();
    return float2((pixel.x - 0.5 * width) / scale, 2.5 - (pixel.y - 0.5 * height) / scale);
}

float BoxDistance(float2 p, float2 halfSize)
{
    const float2 d = abs(p) - halfSize;
    return length(max(d, 0.0)) + min(max(d.x, d.y), 0.0);
}

static const uint kTileListSize = 256;
groupshared uint tileBricks[kTileListSize];
groupshared uint tileBrickCount;
groupshared uint tileParticles[kTileListSize];
groupshared uint tileParticleCount;

[numthreads(8, 8, 1)]
void renderCS(uint3 group : SV_GroupID, uint3 pixelId : SV_DispatchThreadID, uint threadIndex : SV_GroupIndex)
{
    if (threadIndex == 0)
    {
        tileBrickCount = 0;
        tileParticleCount = 0;
    }
    GroupMemoryBarrierWithGroupSync();

    // World-space bounds of this tile, widened by the brick glow.
    const float2 cornerA = PixelToWorld(float2(group.xy * 8));
    const float2 cornerB = PixelToWorld(float2(group.xy * 8 + 8));
    const float2 tileMin = min(cornerA, cornerB);
    const float2 tileMax = max(cornerA, cornerB);
    const float2 tileCentre = 0.5 * (tileMin + tileMax);
    const float2 tileHalf = 0.5 * (tileMax - tileMin);
    const float2 brickHalf = float2(brickHalfWidth, brickHalfHeight);
    const float glowReach = 0.35;

    for (uint b = threadIndex; b < 1024; b += 64)
    {
        const Brick brick = bricks[b];
        if (brick.alive != 0.0)
        {
            const float2 gap = abs(float2(brick.x, brick.y) - tileCentre) - (tileHalf + brickHalf + glowReach);
            if (gap.x <= 0.0 && gap.y <= 0.0)
            {
                uint slot;
                InterlockedAdd(tileBrickCount, 1, slot);
                if (slot < kTileListSize)
                {
                    tileBricks[slot] = b;
                }
            }
        }
    }
    const uint live = (uint)clamp(liveDebris, 0.0, (float)kParticles);
    for (uint q = threadIndex; q < live; q += 64)
    {
        const Particle particle = debris[q];
        if (particle.life > 0.0)
        {
            const float2 gap = abs(particle.pos - tileCentre) - (tileHalf + particle.size * 2.0);
            if (gap.x <= 0.0 && gap.y <= 0.0)
            {
                uint slot;
                InterlockedAdd(tileParticleCount, 1, slot);
                if (slot < kTileListSize)
                {
                    tileParticles[slot] = q;
                }
            }
        }
    }
    GroupMemoryBarrierWithGroupSync();

    if (pixelId.x >= (uint)width || pixelId.y >= (uint)height)
    {
        return;
    }

    const float2 p = PixelToWorld(float2(pixelId.xy) + 0.5);
    const float pixelSize = 1.0 / ViewScale();

    // Background: a dark gradient, the playfield a little lighter than its surroundings.
    float3 colour = lerp(float3(0.010, 0.012, 0.030), float3(0.030, 0.040, 0.090), saturate((p.y + 16.0) / 38.0));
    const float field = BoxDistance(p - float2(0.0, 2.25), float2(19.8, 18.75));
    colour += (field < 0.0 ? 0.02 : 0.0) + float3(0.05, 0.10, 0.25) * exp(-abs(field) * 6.0) * 0.8;
    colour *= 0.5 + brightness * 3.0;

    // Bricks: the first listed brick that covers the pixel, with a soft rim glow.
    const uint brickTotal = min(tileBrickCount, kTileListSize);
    float nearest = 1e9;
    float3 nearestColour = float3(0.0, 0.0, 0.0);
    [loop]
    for (uint i = 0; i < brickTotal; ++i)
    {
        const Brick brick = bricks[tileBricks[i]];
        const float d = BoxDistance(p - float2(brick.x, brick.y), brickHalf - 0.06) - 0.06;
        if (d < nearest)
        {
            nearest = d;
            nearestColour = Palette((int)brick.colorIndex);
        }
    }
    if (nearest < 0.0)
    {
        const float bevel = saturate(-nearest / 0.18);
        colour = nearestColour * (0.55 + 0.45 * bevel) * (0.8 + brightness);
    }
    else
    {
        colour += nearestColour * exp(-nearest * 9.0) * 0.35;
    }

    // Paddle.
    const float paddle = BoxDistance(p - float2(paddleX, -12.1), float2(3.0, 0.35)) - 0.1;
    if (paddle < 0.0)
    {
        colour = float3(0.75, 0.85, 1.0) * (0.7 + 0.3 * saturate(-paddle / 0.3));
    }
    else
    {
        colour += float3(0.2, 0.45, 1.0) * exp(-paddle * 5.0) * 0.4;
    }

    // Debris particles, fading as they age.
    const uint particleTotal = min(tileParticleCount, kTileListSize);
    [loop]
    for (uint k = 0; k < particleTotal; ++k)
    {
        const Particle particle = debris[tileParticles[k]];
        const float fade = saturate(particle.life / max(particle.maxLife, 0.001));
        const float d = length(p - particle.pos) - particle.size;
        colour += particle.color * fade * saturate(0.5 - d / pixelSize) + particle.color * fade * exp(-max(d, 0.0) * 12.0) * 0.15;
    }

    // Balls with their glow; colours above 1 reach the screen as they are.
    [loop]
    for (uint n = 0; n < 12; ++n)
    {
        if (ballPos[n].z > 0.5)
        {
            const float d = length(p - ballPos[n].xy) - 0.6;
            const float3 tint = ballColor[n].rgb;
            if (d < 0.0)
            {
                colour = tint * (1.0 + 0.5 * saturate(-d / 0.6));
            }
            else
            {
                colour += tint * ballGlow * 0.12 * exp(-d * 2.2);
            }
        }
    }

    output[pixelId.xy] = float4(colour, 1.0);
}
