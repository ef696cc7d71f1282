#include "clock/tick_schedule.h"

#include <algorithm>

namespace reloj {

int64_t NextTickSecond(const LocalTime& now, const TickNeeds& needs) {
    if (needs.holding || needs.lookPending || needs.raisePending) {
        return now.epochSecond + 1;
    }
    // Local minutes begin where the local second is 0, whatever the zone's offset. A leap
    // second shows as second 60 in zones that count them; the tick after it is still ahead.
    return now.epochSecond + std::max<int64_t>(1, kSecondsPerMinute - now.second);
}

} // namespace reloj
