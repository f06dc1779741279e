#include "game/world.h"

#include <algorithm>

int CountDrawnBalls(const World& world)
{
    return std::min(CountActiveBalls(world), kBallsDrawn);
}

int CountActiveBalls(const World& world)
{
    int count = 0;
    for (const Ball& ball : world.balls) {
        if (ball.active) {
            ++count;
        }
    }
    return count;
}
