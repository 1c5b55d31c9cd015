#include "player/ShuffleOrder.h"

#include <cstdlib>

int systemRandomComparison()
{
    return int(random() % 3) - 1;
}
