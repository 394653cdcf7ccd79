#include "RecordTime.h"

#include <LocalTime.h>

namespace record {

Millis NowMillis()
{
    return text::NowMs();
}

std::string LocalStamp(Millis time)
{
    return text::LocalTime(time, "%Y%m%d-%H%M%S");
}

} // namespace record
