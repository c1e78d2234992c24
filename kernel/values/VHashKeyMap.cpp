#include "kernel/values/VHashKeyMap.h"

namespace nuvo::Private {

namespace {

struct SizeStep {
    size_t fThreshold;  // key counts below it use fSize
    size_t fSize;       // prime, about 1.6 times the previous one
};

// Thresholds stay near 0.62 times the size from 124 keys on; the first steps are looser so
// that small dictionaries do not grow their index too early.
constexpr SizeStep kSizeSteps[] = {
    {5, 5}, {9, 11}, {18, 23}, {30, 41}, {48, 67}, {77, 113}, {124, 199}, {200, 317}, {323, 521},
    {522, 839}, {844, 1361}, {1365, 2207}, {2208, 3571}, {3572, 5779}, {5779, 9349}, {9350, 15121},
    {15123, 24469}, {24478, 39607}, {39610, 64091}, {64092, 103703}, {103707, 167801},
    {167807, 271517}, {271526, 439339}, {439340, 710867}, {710870, 1150211}, {1150211, 1861081},
    {1861081, 3011293}, {3011303, 4872391}, {4872403, 7883713}, {7883715, 12756119},
    {12756121, 20639837}, {20639853, 33395983}, {33395993, 54035851}, {54035900, 87431921},
    {87431929, 141467831}, {141467839, 228899767}, {228899775, 370367609}, {370367628, 599267399},
    {599267414, 969635027}, {969323042, 1568397599},
};

// Beyond the table: the largest prime below 2^32, which slot numbers never reach.
constexpr size_t kLastSize = 4294967291u;

} // namespace

size_t VHashKeyMap::SizeFor(size_t count)
{
    for (const SizeStep& step : kSizeSteps) {
        if (count < step.fThreshold)
            return step.fSize;
    }
    return kLastSize;
}

} // namespace nuvo::Private
