#include "game/world.h"

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
