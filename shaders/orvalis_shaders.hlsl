// Orvalis Benchmark compute programs: debris physics (updatePhysics) and the
// ray-marched scene renderer (renderCS). Compiled at every start as cs_5_1;
// self-contained.
//
// Bindings (root signature of the program):
//   b0  FrameConstants, 512 bytes
//   t0  bricks: 1024 x 16-byte records (x, y, colorIndex, alive)
//   u0  output texture, RGBA16F, width x height
//   u1  debris: 8192 x 48-byte particle records, defined here
//
// The scene is three-dimensional: the playfield's bricks (rounded boxes),
// balls (glowing spheres), paddle and debris stand in a thin slab around the
// plane z = 0, in front of a back wall, and a camera looks at them from the
// front and a little above. Every ray crosses the slab once; where it does is
// found analytically, and only that stretch is marched. Each 8 x 8 group of
// pixels first gathers into group-shared lists the bricks, balls and particles
// whose bounds can reach its rays (and the shadow rays of what they hit), so a
// ray evaluates a handful of shapes whatever the number of bricks.
//
// raySteps is the most sphere-tracing steps a primary ray takes; the shadow
// march takes an eighth of that and the glow of the balls is gathered from
// half as many samples along the ray. Fewer steps lose detail: edges are
// missed, shadows cut short, the glow turns blotchy.

cbuffer FrameConstants : register(b0)
{
    float paddleX;          // 0
    float time;             // 4   game time in seconds modulo 1024: seeds the bursts' randomness
    float width;            // 8
    float height;           // 12
    float brightness;       // 16  ambient light level
    float frameStep;        // 20  game seconds since the last frame: the debris step
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
    float unused;    // keeps the record at 48 bytes
    float blockBound;  // see BrickBlockBound: kept for the renderer, not for the particle
};

StructuredBuffer<Brick> bricks : register(t0);
RWTexture2D<float4> output : register(u0);
RWStructuredBuffer<Particle> debris : register(u1);

static const uint kParticles = 8192;
static const uint kBricks = 1024;
static const uint kBurst = 8;
static const float kGravity = 30.0;
static const float kParticleLife = 1.6;

// The brick table seen as 64 blocks of 16 consecutive slots. The levels lay
// their bricks out row by row or along a curve, so a block's bricks stand
// close together; each frame updatePhysics writes every block's bounds, and
// each renderCS group then looks only at the bricks of the blocks near it
// instead of the whole table. Measured under lavapipe at 854 x 480 (level 5,
// debris 80, 72 ray steps, one run on a busy 2-core machine): 225 ms a frame,
// against 326 ms when every group reads all 64 blocks.
static const uint kBlockBricks = 16;
static const uint kBlocks = kBricks / kBlockBricks;

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

// ---------------------------------------------------------------------------
// Debris physics.

groupshared int burstColour;
groupshared uint particleBounds[4];  // of the group's live particles' reach: min x, min y, max x, max y

// How far from its centre a particle's light counts.
float ParticleReach(float size)
{
    return size * 3.0;
}

// Floats as unsigned integers of the same order, for the group's atomic
// minimum and maximum.
uint SortableFloat(float f)
{
    const uint u = asuint(f);
    return (u & 0x80000000) != 0 ? ~u : (u | 0x80000000);
}

float FloatFromSortable(uint u)
{
    return asfloat((u & 0x80000000) != 0 ? (u & 0x7fffffff) : ~u);
}

// One bound of a block's live brick centres: part 0 min x, 1 min y, 2 max x,
// 3 max y (a block without live bricks gets min > max). updatePhysics keeps
// part k of block b in the spare field of particle 64 b + k, which the
// thread that owns that particle writes along with the particle; the bounds
// of the reach of each group's 64 particles go to particles 64 g + 4 + k, so
// that a renderCS group reads only the groups of particles that can light it:
// level 5 with 8192 debris took 439 ms a frame, against 1470 ms when every
// renderCS group looked at all 8192 particles (measured as the blocks above).
float BrickBlockBound(uint block, uint part)
{
    float bound = part < 2 ? 1e9 : -1e9;
    [loop]
    for (uint k = 0; k < kBlockBricks; ++k)
    {
        const Brick brick = bricks[block * kBlockBricks + k];
        if (brick.alive != 0.0)
        {
            const float v = (part & 1) != 0 ? brick.y : brick.x;
            bound = part < 2 ? min(bound, v) : max(bound, v);
        }
    }
    return bound;
}

[numthreads(64, 1, 1)]
void updatePhysics(uint3 id : SV_DispatchThreadID, uint3 groupId : SV_GroupID, uint threadIndex : SV_GroupIndex)
{
    const uint index = id.x;
    const bool burst = explosionCode > 0.5;

    // The burst code is ring slot + 1 + 100 x colour. Past slot 98 two
    // readings can give the same code, so the colour is taken from the brick
    // that burst: it stands at (explosionX, explosionY) in the brick table.
    if (threadIndex == 0)
    {
        burstColour = -1;
        particleBounds[0] = SortableFloat(1e9);
        particleBounds[1] = SortableFloat(1e9);
        particleBounds[2] = SortableFloat(-1e9);
        particleBounds[3] = SortableFloat(-1e9);
    }
    GroupMemoryBarrierWithGroupSync();
    if (burst)
    {
        [loop]
        for (uint b = threadIndex; b < kBricks; b += 64)
        {
            const Brick brick = bricks[b];
            if (brick.x == explosionX && brick.y == explosionY)
            {
                int previous;
                InterlockedMax(burstColour, (int)(brick.colorIndex + 0.5), previous);
            }
        }
    }
    GroupMemoryBarrierWithGroupSync();

    // The dispatch covers the particles exactly: 128 groups of 64.
    Particle p = debris[index];
    bool changed = false;

    // A burst starting this frame takes its ring slot's eight particles.
    const int code = (int)(explosionCode + 0.5);
    const int colour = burstColour >= 0 ? clamp(burstColour, 0, 6) : clamp(code / 100, 0, 6);
    const uint first = ((uint)max(code - colour * 100 - 1, 0) * kBurst) % kParticles;
    if (burst && index >= first && index < first + kBurst)
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
        p.unused = 0.0;
        changed = true;
    }
    else if (p.life > 0.0)
    {
        // The step arrives as it is: the difference of two game times in
        // float would shrink to nothing after hours of play.
        const float dt = clamp(frameStep, 0.0, 0.05);
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
        changed = true;
    }

    // The bounds the renderer gathers with: of a brick block (threads 0..3 of
    // the first 64 groups) and of this group's particles (threads 4..7).
    if (p.life > 0.0)
    {
        const float reach = ParticleReach(p.size);
        uint previous;
        InterlockedMin(particleBounds[0], SortableFloat(p.pos.x - reach), previous);
        InterlockedMin(particleBounds[1], SortableFloat(p.pos.y - reach), previous);
        InterlockedMax(particleBounds[2], SortableFloat(p.pos.x + reach), previous);
        InterlockedMax(particleBounds[3], SortableFloat(p.pos.y + reach), previous);
    }
    if (groupId.x < kBlocks && threadIndex < 4)
    {
        p.blockBound = BrickBlockBound(groupId.x, threadIndex);
        changed = true;
    }
    GroupMemoryBarrierWithGroupSync();
    if (threadIndex >= 4 && threadIndex < 8)
    {
        p.blockBound = FloatFromSortable(particleBounds[threadIndex - 4]);
        changed = true;
    }
    if (changed)
    {
        debris[index] = p;
    }
}

// ---------------------------------------------------------------------------
// The scene.

// Camera: from the front and a little above, looking at the middle of the field.
static const float3 kEye = float3(0.0, 6.0, 46.0);
static const float3 kTarget = float3(0.0, 1.5, 0.0);
// The field (walls at x = +-19, ceiling at 20, loss line at -16) fits the view
// with this much of the world around the target at its distance.
static const float kViewHalfWidth = 21.0;
static const float kViewHalfHeight = 19.5;

// The slab that holds everything but the back wall, and the wall itself.
static const float kSlabFront = 0.65;
static const float kSlabBack = -0.65;
static const float kWallZ = -0.9;
static const float kBrickHalfDepth = 0.5;
static const float kBallRadius = 0.6;
static const float3 kPaddleHalf = float3(3.0, 0.35, 0.6);
static const float kPaddleY = -12.1;

// The light comes from the upper left, in front of the field.
static const float3 kLight = float3(-0.4472, 0.7454, 0.4951);
// How far a shadow ray that starts on the wall moves across the field before
// it leaves the slab: the gather looks that far towards the light.
static const float2 kShadowReach = float2(-0.4472, 0.7454) * ((kSlabFront - kWallZ) / 0.4951);

float3 CameraForward()
{
    return normalize(kTarget - kEye);
}

// Pixels per unit of the image plane at distance 1 (so that the field fits).
float FocalPixels()
{
    const float distance = length(kTarget - kEye);
    return min(0.5 * width * distance / kViewHalfWidth, 0.5 * height * distance / kViewHalfHeight);
}

float3 RayDirection(float2 pixel)
{
    const float3 forward = CameraForward();
    const float3 right = normalize(cross(forward, float3(0.0, 1.0, 0.0)));
    const float3 up = cross(right, forward);
    const float focal = FocalPixels();
    const float2 offset = float2(pixel.x - 0.5 * width, 0.5 * height - pixel.y) / focal;
    return normalize(forward + right * offset.x + up * offset.y);
}

// Where a world point appears in the image, in pixels.
float2 WorldToPixel(float3 p)
{
    const float3 forward = CameraForward();
    const float3 right = normalize(cross(forward, float3(0.0, 1.0, 0.0)));
    const float3 up = cross(right, forward);
    const float3 v = p - kEye;
    const float focal = FocalPixels() / dot(v, forward);
    return float2(0.5 * width + dot(v, right) * focal, 0.5 * height - dot(v, up) * focal);
}

// The pixel rectangle (min x, min y, max x, max y) that covers a box, and the
// box moved by `sweep` with everything between.
float4 ProjectedRect(float3 centre, float3 halfSize, float3 sweep)
{
    float2 lo = float2(1e9, 1e9);
    float2 hi = float2(-1e9, -1e9);
    [unroll]
    for (uint c = 0; c < 16; ++c)
    {
        const float3 corner = centre + halfSize * float3((c & 1) ? 1.0 : -1.0, (c & 2) ? 1.0 : -1.0, (c & 4) ? 1.0 : -1.0) +
                              ((c & 8) ? sweep : float3(0.0, 0.0, 0.0));
        const float2 pixel = WorldToPixel(corner);
        lo = min(lo, pixel);
        hi = max(hi, pixel);
    }
    return float4(lo - 1.0, hi + 1.0);
}

bool InRect(float2 pixel, float4 rect)
{
    return all(pixel >= rect.xy) && all(pixel <= rect.zw);
}

// Where the ray crosses the plane z = planeZ (rays always head into the scene).
float PlaneDistance(float3 origin, float3 direction, float planeZ)
{
    return (planeZ - origin.z) / direction.z;
}

float RoundBoxDistance(float3 p, float3 halfSize, float radius)
{
    const float3 q = abs(p) - (halfSize - radius);
    return length(max(q, 0.0)) + min(max(q.x, max(q.y, q.z)), 0.0) - radius;
}

// Entry distance of the ray into an axis-aligned box, or a large value.
float BoxEntry(float3 origin, float3 inverseDirection, float3 centre, float3 halfSize)
{
    const float3 a = (centre - halfSize - origin) * inverseDirection;
    const float3 b = (centre + halfSize - origin) * inverseDirection;
    const float3 nearest = min(a, b);
    const float3 farthest = max(a, b);
    const float enter = max(nearest.x, max(nearest.y, nearest.z));
    const float leave = min(farthest.x, min(farthest.y, farthest.z));
    return (enter <= leave && leave > 0.0) ? enter : 1e9;
}

float BrickRounding()
{
    return min(0.12, 0.5 * min(brickHalfWidth, brickHalfHeight));
}

float GlowReach()
{
    return 1.0 + max(ballGlow, 0.0) * 1.2;
}

// The group's lists: what the rays of these 64 pixels can meet.
//
// Each list holds kListSize entries, and nothing the group's pixels can see
// is left out when more than that qualify:
// - Bricks (primary and shadow lists): at 854 x 480 a group lists at most a
//   few bricks for its rays and a few dozen shadow casters (level 5), so the
//   lists never fill there. They do on small outputs, where one group covers
//   several units of the field (a 96 x 54 group spans about 6 x 6 units): such
//   a group's rays then evaluate every brick of the group's blocks, which
//   costs only those few groups. Dropping what does not fit instead left
//   level 5 at 96 x 54 0.0011 apart from the brute-force reference on average.
// - Balls: the list has room for all twelve.
// - Particles: debris can pile up anywhere (a burst of eight per destroyed
//   brick, bursts in the same place on consecutive frames), so the group
//   walks the particles near it in chunks of kListSize; the common case is a
//   single chunk gathered together with the bricks. Dropping what does not
//   fit instead put 600 to 700 pixels of 60 bursts at one brick, and 383 of
//   8192 debris spread over the field, more than 0.05 off the reference.
// What not dropping costs, measured under lavapipe at 854 x 480 and 72 ray
// steps in one run on a busy 2-core machine (frame times): level 5, debris
// 80, 225 ms against 236 ms with lists that drop; debris 8192, 439 ms
// against 505 ms on level 5 and 394 ms against 352 ms on level 0. Both
// within the machine's noise: the fallbacks fall to few groups.
static const uint kListSize = 64;
groupshared float4 listBricks[kListSize];     // x, y, colour, 0: what the primary rays can hit
groupshared uint listBrickCount;              // beyond kListSize: the group's blocks are used
groupshared float4 shadowBricks[kListSize];   // x, y: what shadows falling on these pixels can come from
groupshared float4 listBrickRects[kListSize];    // the pixels whose rays can meet each listed brick
groupshared float4 shadowBrickRects[kListSize];  // the pixels whose shadow rays can pass near each one
groupshared uint shadowBrickCount;            // beyond kListSize: the group's blocks are used
groupshared float4 listBalls[12];             // x, y, ball index, 0: glowing balls that reach the tile
groupshared uint listBallCount;
groupshared float4 listParticles[kListSize];  // x, y, size, fade: the current chunk of particles
groupshared float4 listParticleColours[kListSize];
groupshared uint listParticleCount;           // beyond kListSize: the chunk is full
groupshared uint particlesLeft;               // nonzero while particles near the tile wait for a chunk
groupshared uint listParticleBlocks[kParticles / 64];  // the groups of 64 particles whose light can reach the tile
groupshared uint listParticleBlockCount;
groupshared uint listBlocks[kBlocks];         // the brick blocks that can reach the tile's shadows
groupshared uint listBlockCount;
groupshared float4 tileBounds;                // where the tile's rays cross the slab: min x, min y, max x, max y
groupshared float4 tileWallBounds;            // the same down to the back wall

static const float4 kNowhere = float4(1e6, 1e6, 0.0, 0.0);

// A brick of the table as the lists hold it; a destroyed one far away.
float4 TableBrick(uint i)
{
    const Brick brick = bricks[i];
    return brick.alive != 0.0 ? float4(brick.x, brick.y, brick.colorIndex, 0.0) : kNowhere;
}

// The shapes a ray evaluates. Normally the group's lists; the tests' brute-force
// reference renderer (which defines ORVALIS_REFERENCE_RENDERER and includes
// this file) evaluates every brick, ball and particle at every step instead.
// WholeBrickCount and WholeBrick are the bricks of a ray that uses no list.
#ifdef ORVALIS_REFERENCE_RENDERER
uint WholeBrickCount() { return kBricks; }
float4 WholeBrick(uint i) { return TableBrick(i); }
uint BallCount() { return 12; }
float4 ListedBall(uint n) { return ballPos[n].z > 0.5 ? float4(ballPos[n].xy, (float)n, 0.0) : float4(1e6, 1e6, (float)n, 0.0); }
uint ParticleCount() { return (uint)clamp(liveDebris, 0.0, (float)kParticles); }
float4 ListedParticle(uint k)
{
    const Particle particle = debris[k];
    const float fade = saturate(particle.life / max(particle.maxLife, 0.001));
    return particle.life > 0.0 ? float4(particle.pos, particle.size, fade) : float4(1e6, 1e6, 1.0, 0.0);
}
float3 ListedParticleColour(uint k) { return debris[k].color; }
#else
// What a ray evaluates when a list of its group overflowed: every brick of
// the group's blocks.
uint WholeBrickCount() { return listBlockCount * kBlockBricks; }
float4 WholeBrick(uint i) { return TableBrick(listBlocks[i / kBlockBricks] * kBlockBricks + i % kBlockBricks); }
uint BallCount() { return min(listBallCount, 12); }
float4 ListedBall(uint n) { return listBalls[n]; }
uint ParticleCount() { return min(listParticleCount, kListSize); }
float4 ListedParticle(uint k) { return listParticles[k]; }
float3 ListedParticleColour(uint k) { return listParticleColours[k].rgb; }
#endif

// True when the segment origin + direction * t, t in [tFrom, tTo], enters the box.
bool SegmentEntersBox(float3 origin, float3 inverseDirection, float tFrom, float tTo, float3 centre, float3 halfSize)
{
    const float3 a = (centre - halfSize - origin) * inverseDirection;
    const float3 b = (centre + halfSize - origin) * inverseDirection;
    const float enter = max(max(min(a.x, b.x), min(a.y, b.y)), max(min(a.z, b.z), tFrom));
    const float leave = min(min(max(a.x, b.x), max(a.y, b.y)), min(max(a.z, b.z), tTo));
    return enter <= leave;
}

// Where the ray runs inside a box: (enter, leave), enter > leave when it
// misses it.
float2 BoxSpan(float3 origin, float3 inverseDirection, float3 centre, float3 halfSize)
{
    const float3 a = (centre - halfSize - origin) * inverseDirection;
    const float3 b = (centre + halfSize - origin) * inverseDirection;
    return float2(max(max(min(a.x, b.x), min(a.y, b.y)), min(a.z, b.z)),
                  min(min(max(a.x, b.x), max(a.y, b.y)), max(a.z, b.z)));
}

// The bricks one ray can meet: bit i of rayBrickMask stands for entry i of
// the group's list and is set when the ray passes through that brick's box;
// sphere tracing, the leaps between boxes and the normals then evaluate only
// these. (A mask rather than a per-thread copy of the bricks: such arrays
// cost more than the work on them. Level 5, debris 80, 72 ray steps, 854 x
// 480 under lavapipe: 299 ms of GPU time a frame with up to eight bricks
// copied per ray, 177 to 201 ms with the mask.) A group whose list
// overflowed, and the reference, evaluate all of their bricks instead
// (rayUsesWholeList). Where the ray enters the nearest of the boxes is kept
// as well (where the march may start).
static float2 rayPixel;  // the centre of this thread's pixel
static uint2 rayBrickMask;
static bool rayUsesWholeList;
static float rayBrickEntry;
static float3 rayInverse;    // 1 / the primary ray's direction
static float rayHitMargin;   // the march's hit distance anywhere on the ray
static float2 rayOtherSpan;  // from the first entry to the last exit of the balls' and paddle's boxes, widened by it

// The index of the lowest set bit of the mask, which it clears.
uint PopLowestBit(inout uint2 mask)
{
    if (mask.x != 0)
    {
        const uint low = firstbitlow(mask.x);
        mask.x &= mask.x - 1;
        return low;
    }
    const uint high = firstbitlow(mask.y);
    mask.y &= mask.y - 1;
    return 32 + high;
}

void SetBit(inout uint2 mask, uint i)
{
    if (i < 32)
    {
        mask.x |= 1u << i;
    }
    else
    {
        mask.y |= 1u << (i - 32);
    }
}

void SelectRayBricks(float3 origin, float3 direction, float tFrom, float tTo, float margin)
{
    rayBrickMask = uint2(0, 0);
    rayUsesWholeList = false;
    rayBrickEntry = 1e9;
    rayInverse = 1.0 / direction;
    const float3 brickHalf = float3(brickHalfWidth, brickHalfHeight, kBrickHalfDepth);
#ifndef ORVALIS_REFERENCE_RENDERER
    if (listBrickCount <= kListSize)
    {
        [loop]
        for (uint i = 0; i < listBrickCount; ++i)
        {
            const float3 centre = float3(listBricks[i].xy, 0.0);
            if (InRect(rayPixel, listBrickRects[i]) && SegmentEntersBox(origin, rayInverse, tFrom, tTo, centre, brickHalf + margin))
            {
                rayBrickEntry = min(rayBrickEntry, BoxEntry(origin, rayInverse, centre, brickHalf));
                SetBit(rayBrickMask, i);
            }
        }
        return;
    }
#endif
    rayUsesWholeList = true;  // all of them, every step
    const uint total = WholeBrickCount();
    [loop]
    for (uint b = 0; b < total; ++b)
    {
        rayBrickEntry = min(rayBrickEntry, BoxEntry(origin, rayInverse, float3(WholeBrick(b).xy, 0.0), brickHalf));
    }
}

// The scene distance at p over the group's lists: bricks, balls and paddle.
// material: 0 back wall (never returned here), 1 brick, 2 ball, 3 paddle.
float SceneDistance(float3 p, out int material, out float4 detail)
{
    material = 0;
    detail = float4(0.0, 0.0, 0.0, 0.0);
    float best = 1e9;
    const float3 brickHalf = float3(brickHalfWidth, brickHalfHeight, kBrickHalfDepth);
    const float rounding = BrickRounding();
    if (rayUsesWholeList)
    {
        const uint brickTotal = WholeBrickCount();
        [loop]
        for (uint i = 0; i < brickTotal; ++i)
        {
            const float4 brick = WholeBrick(i);
            const float d = RoundBoxDistance(p - float3(brick.xy, 0.0), brickHalf, rounding);
            if (d < best)
            {
                best = d;
                material = 1;
                detail = brick;
            }
        }
    }
    else
    {
        uint2 mask = rayBrickMask;
        [loop]
        while (any(mask != 0))
        {
            const float4 brick = listBricks[PopLowestBit(mask)];
            const float d = RoundBoxDistance(p - float3(brick.xy, 0.0), brickHalf, rounding);
            if (d < best)
            {
                best = d;
                material = 1;
                detail = brick;
            }
        }
    }
    const uint ballTotal = BallCount();
    [loop]
    for (uint n = 0; n < ballTotal; ++n)
    {
        const float4 ball = ListedBall(n);
        const float d = length(p - float3(ball.xy, 0.0)) - kBallRadius;
        if (d < best)
        {
            best = d;
            material = 2;
            detail = ball;
        }
    }
    const float paddle = RoundBoxDistance(p - float3(paddleX, kPaddleY, 0.0), kPaddleHalf, 0.2);
    if (paddle < best)
    {
        best = paddle;
        material = 3;
    }
    return best;
}

// The shadow casters near one shadow ray: the bricks (from the group's shadow
// list, as a mask like the primary ray's) and the paddle whose boxes, widened
// by how far a soft shadow reaches, the ray passes before it leaves the slab.
static uint2 shadowCasterMask;
static bool shadowUsesWholeList;
static bool shadowPaddle;

void SelectShadowCasters(float3 from, float leave)
{
    shadowCasterMask = uint2(0, 0);
    shadowUsesWholeList = false;
    const float margin = leave / 8.0 + 0.02;  // beyond it a caster darkens nothing (8 h / t >= 1)
    const float3 inverse = 1.0 / kLight;
    shadowPaddle = SegmentEntersBox(from, inverse, 0.0, leave, float3(paddleX, kPaddleY, 0.0), kPaddleHalf + margin);
    if (from.z >= kBrickHalfDepth)
    {
        // Every brick lies behind the plane z = kBrickHalfDepth. A shadow ray
        // from in front of it keeps at least kLight.z t away from them, so
        // their soft shadow (8 h / t >= 8 kLight.z > 1) never darkens it.
        return;
    }
#ifdef ORVALIS_REFERENCE_RENDERER
    shadowUsesWholeList = true;
    shadowPaddle = true;
#else
    if (shadowBrickCount > kListSize)
    {
        shadowUsesWholeList = true;
        return;
    }
    const float3 reach = float3(brickHalfWidth, brickHalfHeight, kBrickHalfDepth) + margin;
    [loop]
    for (uint i = 0; i < shadowBrickCount; ++i)
    {
        const float3 centre = float3(shadowBricks[i].xy, 0.0);
        if (InRect(rayPixel, shadowBrickRects[i]) && SegmentEntersBox(from, inverse, 0.0, leave, centre, reach))
        {
            SetBit(shadowCasterMask, i);
        }
    }
#endif
}

float ShadowCasterDistance(float3 p)
{
    float best = shadowPaddle ? RoundBoxDistance(p - float3(paddleX, kPaddleY, 0.0), kPaddleHalf, 0.2) : 1e9;
    const float3 brickHalf = float3(brickHalfWidth, brickHalfHeight, kBrickHalfDepth);
    const float rounding = BrickRounding();
    if (shadowUsesWholeList)
    {
        const uint total = WholeBrickCount();
        [loop]
        for (uint i = 0; i < total; ++i)
        {
            best = min(best, RoundBoxDistance(p - float3(WholeBrick(i).xy, 0.0), brickHalf, rounding));
        }
        return best;
    }
    uint2 mask = shadowCasterMask;
    [loop]
    while (any(mask != 0))
    {
        best = min(best, RoundBoxDistance(p - float3(shadowBricks[PopLowestBit(mask)].xy, 0.0), brickHalf, rounding));
    }
    return best;
}

// The normal of a rounded box at p (relative to its centre): the gradient of
// its distance.
float3 RoundBoxNormal(float3 p, float3 halfSize, float radius)
{
    const float3 q = abs(p) - (halfSize - radius);
    if (any(q > 0.0))
    {
        return normalize(sign(p) * max(q, 0.0));
    }
    // Inside the core (only when the march overshot): the nearest face.
    if (q.x > q.y && q.x > q.z)
    {
        return float3(sign(p.x), 0.0, 0.0);
    }
    return q.y > q.z ? float3(0.0, sign(p.y), 0.0) : float3(0.0, 0.0, sign(p.z));
}

// Soft shadow towards the light, marched in at most `steps` steps until the
// ray leaves the slab: 1 in full light, 0 in full shadow.
float SoftShadow(float3 from, uint steps)
{
    const float leave = PlaneDistance(from, kLight, kSlabFront + 0.05);
    SelectShadowCasters(from, leave);
    if (!any(shadowCasterMask != 0) && !shadowUsesWholeList && !shadowPaddle)
    {
        return 1.0;  // nothing near the shadow ray: in full light
    }
    float light = 1.0;
    float t = 0.02;
    [loop]
    for (uint i = 0; i < steps; ++i)
    {
        if (t > leave)
        {
            break;
        }
        const float h = ShadowCasterDistance(from + kLight * t);
        light = min(light, 8.0 * h / t);
        if (light < 0.001)
        {
            break;
        }
        t += clamp(h, 0.03, 0.6);
    }
    return saturate(light);
}

// Fills the group's particle list with the live particles whose light can
// reach the tile, from the particle blocks near it, each thread going on from
// where it stopped (particleCursor counts through the listed blocks' particles;
// a thread takes the same place in each). When the list is full the thread
// keeps the particle it could not add for the next chunk and sets
// particlesLeft.
static uint particleCursor;
static bool particleChunksLeft;

void ListParticles()
{
    const uint live = (uint)clamp(liveDebris, 0.0, (float)kParticles);
    const uint candidates = listParticleBlockCount * 64;
    const float2 lo = tileBounds.xy;
    const float2 hi = tileBounds.zw;
    [loop]
    while (particleCursor < candidates)
    {
        const uint index = listParticleBlocks[particleCursor / 64] * 64 + particleCursor % 64;
        const Particle particle = debris[index];
        const float reach = ParticleReach(particle.size);
        if (index < live && particle.life > 0.0 && all(particle.pos + reach >= lo) && all(particle.pos - reach <= hi))
        {
            uint slot;
            InterlockedAdd(listParticleCount, 1, slot);
            if (slot >= kListSize)
            {
                particlesLeft = 1;
                break;
            }
            const float fade = saturate(particle.life / max(particle.maxLife, 0.001));
            listParticles[slot] = float4(particle.pos, particle.size, fade);
            listParticleColours[slot] = float4(particle.color, 0.0);
        }
        particleCursor += 64;
    }
}

// The group gathers what its rays (and their shadow rays) can meet.
void GatherTile(uint2 group, uint threadIndex)
{
    if (threadIndex == 0)
    {
        listBrickCount = 0;
        shadowBrickCount = 0;
        listBallCount = 0;
        listParticleCount = 0;
        particlesLeft = 0;
        listBlockCount = 0;
        listParticleBlockCount = 0;
        // The tile's footprint: its four corner rays where they enter and
        // leave the slab, and where they meet the back wall.
        float2 lo = float2(1e9, 1e9);
        float2 hi = float2(-1e9, -1e9);
        float2 wallLo = lo;
        float2 wallHi = hi;
        [unroll]
        for (uint c = 0; c < 4; ++c)
        {
            const float2 corner = float2(group * 8) + float2((c & 1) * 8, (c >> 1) * 8);
            const float3 direction = RayDirection(corner);
            const float3 front = kEye + direction * PlaneDistance(kEye, direction, kSlabFront);
            const float3 back = kEye + direction * PlaneDistance(kEye, direction, kSlabBack);
            const float3 wall = kEye + direction * PlaneDistance(kEye, direction, kWallZ);
            lo = min(lo, min(front.xy, back.xy));
            hi = max(hi, max(front.xy, back.xy));
            wallLo = min(wallLo, min(front.xy, wall.xy));
            wallHi = max(wallHi, max(front.xy, wall.xy));
        }
        tileBounds = float4(lo, hi);
        tileWallBounds = float4(wallLo, wallHi);
    }
    GroupMemoryBarrierWithGroupSync();

    const float2 lo = tileBounds.xy;
    const float2 hi = tileBounds.zw;
    const float2 brickReach = float2(brickHalfWidth, brickHalfHeight) + 0.05;
    // Shadows on these pixels, the back wall's among them, come from up to
    // kShadowReach towards the light.
    const float2 shadowLo = tileWallBounds.xy + min(kShadowReach, 0.0);
    const float2 shadowHi = tileWallBounds.zw + max(kShadowReach, 0.0);

    // The blocks whose bricks can reach the shadow footprint (which holds the
    // primary one), then their bricks.
    {
        const float2 blockLo = float2(debris[threadIndex * 64].blockBound, debris[threadIndex * 64 + 1].blockBound);
        const float2 blockHi = float2(debris[threadIndex * 64 + 2].blockBound, debris[threadIndex * 64 + 3].blockBound);
        if (all(blockHi + brickReach >= shadowLo) && all(blockLo - brickReach <= shadowHi))
        {
            uint slot;
            InterlockedAdd(listBlockCount, 1, slot);
            listBlocks[slot] = threadIndex;
        }
    }
    const uint live = (uint)clamp(liveDebris, 0.0, (float)kParticles);
    [unroll]
    for (uint part = 0; part < 2; ++part)
    {
        const uint block = threadIndex + 64 * part;
        const uint bounds = block * 64 + 4;
        if (block * 64 < live)
        {
            const float2 blockLo = float2(debris[bounds].blockBound, debris[bounds + 1].blockBound);
            const float2 blockHi = float2(debris[bounds + 2].blockBound, debris[bounds + 3].blockBound);
            if (all(blockHi >= lo) && all(blockLo <= hi))
            {
                uint slot;
                InterlockedAdd(listParticleBlockCount, 1, slot);
                listParticleBlocks[slot] = block;
            }
        }
    }
    GroupMemoryBarrierWithGroupSync();

    const uint candidates = listBlockCount * kBlockBricks;
    [loop]
    for (uint c = threadIndex; c < candidates; c += 64)
    {
        const Brick brick = bricks[listBlocks[c / kBlockBricks] * kBlockBricks + c % kBlockBricks];
        if (brick.alive != 0.0)
        {
            const float2 centre = float2(brick.x, brick.y);
            if (all(centre + brickReach >= shadowLo) && all(centre - brickReach <= shadowHi))
            {
                uint slot;
                InterlockedAdd(shadowBrickCount, 1, slot);
                if (slot < kListSize)
                {
                    shadowBricks[slot] = float4(centre, brick.colorIndex, 0.0);
                }
                if (all(centre + brickReach >= lo) && all(centre - brickReach <= hi))
                {
                    InterlockedAdd(listBrickCount, 1, slot);
                    if (slot < kListSize)
                    {
                        listBricks[slot] = float4(centre, brick.colorIndex, 0.0);
                    }
                }
            }
        }
    }

    if (threadIndex < 12 && ballPos[threadIndex].z > 0.5)
    {
        const float2 centre = ballPos[threadIndex].xy;
        const float reach = max(1.2 * GlowReach(), kBallRadius) + 0.05;  // beyond, the glow is under 0.4 % of its peak
        if (all(centre + reach >= lo) && all(centre - reach <= hi))
        {
            uint slot;
            InterlockedAdd(listBallCount, 1, slot);
            listBalls[slot] = float4(centre, (float)threadIndex, 0.0);
        }
    }

    particleCursor = threadIndex;
    ListParticles();
    GroupMemoryBarrierWithGroupSync();
    particleChunksLeft = particlesLeft != 0;  // read by all before anyone clears it (after the next sync)

    // Which of the group's pixels each listed brick concerns: for the primary
    // rays its box; for shadow rays the box swept back against the light as far
    // as a shadow ray runs, widened by the soft shadow's reach.
    const float3 brickHalf = float3(brickHalfWidth, brickHalfHeight, kBrickHalfDepth);
    const float longest = (kSlabFront + 0.05 - kWallZ) / kLight.z;
    if (threadIndex < min(listBrickCount, kListSize))
    {
        listBrickRects[threadIndex] = ProjectedRect(float3(listBricks[threadIndex].xy, 0.0), brickHalf + 0.02, 0.0);
    }
    if (threadIndex < min(shadowBrickCount, kListSize))
    {
        shadowBrickRects[threadIndex] = ProjectedRect(float3(shadowBricks[threadIndex].xy, 0.0),
                                                      brickHalf + (longest / 8.0 + 0.03), -kLight * longest);
    }
    GroupMemoryBarrierWithGroupSync();
}

// Where the march may start: the nearest box around a shape this ray can meet
// that it enters (bricks, balls, paddle), or nothing when it enters none.
// Also spans the widened boxes of the balls and the paddle (rayOtherSpan).
float FirstEntry(float3 origin, float3 direction)
{
    const float3 inverse = 1.0 / direction;
    const float3 paddle = float3(paddleX, kPaddleY, 0.0);
    float first = min(rayBrickEntry, BoxEntry(origin, inverse, paddle, kPaddleHalf));
    rayOtherSpan = BoxSpan(origin, inverse, paddle, kPaddleHalf + rayHitMargin);
    if (rayOtherSpan.x > rayOtherSpan.y)
    {
        rayOtherSpan = float2(1e9, -1e9);
    }
    const uint ballTotal = BallCount();
    [loop]
    for (uint n = 0; n < ballTotal; ++n)
    {
        const float3 centre = float3(ListedBall(n).xy, 0.0);
        first = min(first, BoxEntry(origin, inverse, centre, kBallRadius.xxx));
        const float2 span = BoxSpan(origin, inverse, centre, kBallRadius + rayHitMargin);
        if (span.x <= span.y)
        {
            rayOtherSpan = float2(min(rayOtherSpan.x, span.x), max(rayOtherSpan.y, span.y));
        }
    }
    return first;
}

// Where the march goes on from t: t itself while it lies in a widened box of
// a shape the ray can meet, else the next such box's entry (1e9 for none).
// Everything between lies farther than the hit distance from every shape,
// so sphere tracing would only creep through it (in the gaps between bricks,
// a few hundredths of a unit a step). The whole-list case is marched plainly.
float NextMarchPoint(float t)
{
    if (rayUsesWholeList || (t >= rayOtherSpan.x && t <= rayOtherSpan.y))
    {
        return t;
    }
    float next = rayOtherSpan.x > t ? rayOtherSpan.x : 1e9;
    const float3 reach = float3(brickHalfWidth, brickHalfHeight, kBrickHalfDepth) + rayHitMargin;
    uint2 mask = rayBrickMask;
    [loop]
    while (any(mask != 0))
    {
        const float2 span = BoxSpan(kEye, rayInverse, float3(listBricks[PopLowestBit(mask)].xy, 0.0), reach);
        if (span.x <= span.y)
        {
            if (t >= span.x && t <= span.y)
            {
                return t;
            }
            if (span.x > t)
            {
                next = min(next, span.x);
            }
        }
    }
    return next;
}

// The balls' glow gathered along the ray from tFrom to tTo in `samples` samples.
float3 BallGlow(float3 origin, float3 direction, float tFrom, float tTo, uint samples)
{
    const uint ballTotal = BallCount();
    if (ballTotal == 0 || tTo <= tFrom)
    {
        return float3(0.0, 0.0, 0.0);
    }
    const float glow = max(ballGlow, 0.0);
    const float reach = GlowReach();
    const float falloff = 4.0 / (reach * reach);
    const float dt = (tTo - tFrom) / samples;
    float3 light = float3(0.0, 0.0, 0.0);
    [loop]
    for (uint s = 0; s < samples; ++s)
    {
        const float3 p = origin + direction * (tFrom + (s + 0.5) * dt);
        [loop]
        for (uint n = 0; n < ballTotal; ++n)
        {
            const float4 ball = ListedBall(n);
            const float3 offset = p - float3(ball.xy, 0.0);
            const float d2 = dot(offset, offset);
            light += ballColor[(uint)ball.z].rgb * exp(-d2 * falloff);
        }
    }
    return light * (glow * 0.35 * dt);
}

// The debris particles in front of distance tLimit: small bright points that fade.
float3 DebrisLight(float3 origin, float3 direction, float tLimit)
{
    float3 light = float3(0.0, 0.0, 0.0);
    const uint total = ParticleCount();
    [loop]
    for (uint k = 0; k < total; ++k)
    {
        const float4 particle = ListedParticle(k);
        const float3 centre = float3(particle.xy, 0.0);
        const float t = dot(centre - origin, direction);
        if (t < tLimit)
        {
            const float3 closest = origin + direction * t;
            const float d = length(closest - centre) / particle.z;
            light += ListedParticleColour(k) * particle.w * exp(-d * d) * 1.2;
        }
    }
    return light;
}

// Light on a surface with normal n: ambient at the chosen brightness, the
// light's diffuse term under its shadow, and a little specular.
float3 Lit(float3 albedo, float3 n, float3 view, float shadow)
{
    const float ambient = 0.05 + max(brightness, 0.0) * (0.6 + 0.4 * saturate(n.y * 0.5 + 0.5));
    const float diffuse = saturate(dot(n, kLight)) * shadow;
    const float specular = pow(saturate(dot(reflect(-kLight, n), -view)), 24.0) * shadow * 0.35;
    return albedo * (ambient + diffuse * 1.1) + specular;
}

float3 WallColour(float3 p)
{
    // A dark wall with a faint grid, lighter inside the field.
    const float2 cell = abs(frac(p.xy * 0.5) - 0.5);
    const float gridLine = saturate(1.0 - min(cell.x, cell.y) * 40.0) * 0.02;
    const float inside = (abs(p.x) < 20.0 && p.y > -16.5 && p.y < 21.0) ? 0.03 : 0.0;
    return float3(0.05, 0.06, 0.09) + inside + gridLine;
}

[numthreads(8, 8, 1)]
void renderCS(uint3 group : SV_GroupID, uint3 pixelId : SV_DispatchThreadID, uint threadIndex : SV_GroupIndex)
{
#ifndef ORVALIS_REFERENCE_RENDERER
    GatherTile(group.xy, threadIndex);
#endif

    // Threads outside the output still take part in the group's syncs.
    const bool inside = pixelId.x < (uint)width && pixelId.y < (uint)height;
    const uint steps = (uint)clamp(raySteps, 1.0, 1024.0);
    rayPixel = float2(pixelId.xy) + 0.5;
    const float3 origin = kEye;
    const float3 direction = RayDirection(rayPixel);
    float3 colour = float3(0.0, 0.0, 0.0);
    float tEnd = 0.0;
    if (inside)
    {
        const float tIn = PlaneDistance(origin, direction, kSlabFront);
        const float tOut = PlaneDistance(origin, direction, kSlabBack);

        // Sphere tracing over the shapes this ray can meet, from where it first
        // enters one of their boxes, leaping over what lies between them.
        rayHitMargin = 0.0005 * tOut + 0.001;  // beyond the hit distance anywhere on the ray
        SelectRayBricks(origin, direction, tIn, tOut, 0.01);
        float t = max(tIn, FirstEntry(origin, direction) - 0.01);
        bool hit = false;
        int material = 0;
        float4 detail = float4(0.0, 0.0, 0.0, 0.0);
        if (t < tOut)
        {
            [loop]
            for (uint i = 0; i < steps; ++i)
            {
#ifndef ORVALIS_REFERENCE_RENDERER
                t = NextMarchPoint(t);
                if (t > tOut)
                {
                    break;
                }
#endif
                const float d = SceneDistance(origin + direction * t, material, detail);
                if (d < 0.0005 * t)
                {
                    hit = true;
                    break;
                }
                t += d;
                if (t > tOut)
                {
                    break;
                }
            }
        }

        const uint shadowSteps = max(steps / 8, 1);
        if (hit)
        {
            const float3 p = origin + direction * t;
            tEnd = t;
            if (material == 2)
            {
                // A ball glows with its own colour, brightest at its middle.
                const float3 n = normalize(p - float3(detail.xy, 0.0));
                const float rim = saturate(dot(n, -direction));
                colour = ballColor[(uint)detail.z].rgb * (0.8 + 0.6 * rim);
            }
            else
            {
                const float3 n = material == 1
                    ? RoundBoxNormal(p - float3(detail.xy, 0.0), float3(brickHalfWidth, brickHalfHeight, kBrickHalfDepth),
                                     BrickRounding())
                    : RoundBoxNormal(p - float3(paddleX, kPaddleY, 0.0), kPaddleHalf, 0.2);
                const float3 albedo = material == 1 ? Palette((int)(detail.z + 0.5)) : float3(0.70, 0.80, 1.00);
                // Where the light neither falls on the surface nor glints off it
                // towards the eye, the shadow changes nothing: no march (164 ms
                // of GPU time a frame on level 5 instead of 177 to 201 ms).
                const bool lightCounts = dot(n, kLight) > 0.0 || dot(reflect(-kLight, n), -direction) > 0.0;
                colour = Lit(albedo, n, direction, lightCounts ? SoftShadow(p + n * 0.01, shadowSteps) : 1.0);
            }
        }
        else
        {
            const float tWall = PlaneDistance(origin, direction, kWallZ);
            const float3 p = origin + direction * tWall;
            tEnd = tOut;
            colour = Lit(WallColour(p), float3(0.0, 0.0, 1.0), direction, SoftShadow(p, shadowSteps));
        }

        colour += BallGlow(origin, direction, tIn, tEnd, max(steps / 2, 1));
        colour += DebrisLight(origin, direction, tEnd + 0.5);
    }

#ifndef ORVALIS_REFERENCE_RENDERER
    // More particles near the tile than one list holds: the next chunks.
    [loop]
    for (uint chunk = 1; chunk < kParticles; ++chunk)
    {
        if (!particleChunksLeft)
        {
            break;
        }
        GroupMemoryBarrierWithGroupSync();  // everyone is done with the last chunk
        if (threadIndex == 0)
        {
            listParticleCount = 0;
            particlesLeft = 0;
        }
        GroupMemoryBarrierWithGroupSync();
        ListParticles();
        GroupMemoryBarrierWithGroupSync();
        particleChunksLeft = particlesLeft != 0;
        GroupMemoryBarrierWithGroupSync();  // read by all before anyone clears it
        if (inside)
        {
            colour += DebrisLight(origin, direction, tEnd + 0.5);
        }
    }
#endif

    if (inside)
    {
        output[pixelId.xy] = float4(max(colour, 0.0), 1.0);
    }
}
