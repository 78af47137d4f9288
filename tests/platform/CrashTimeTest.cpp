#include "platform/CrashGuard.h"

#include <gtest/gtest.h>

#include <ctime>
#include <string>

namespace {

// The crash report's own time formatting must read as ctime() does, for
// any date and zone offset.
TEST(CrashTime, FormatsLikeCtimeForDatesAcrossTheCalendar) {
    const long long seconds[] = {0,          59,          86399,      951782400 /* 2000-02-29 */,
                                 978307199,  1709164800 /* 2024-02-29 */, 2147483647, 4102444800 /* 2100-01-01 */,
                                 1234567890, 1700000000,  -86400};
    const long offsets[] = {0, 3600, -18000, 19800, 45 * 60 + 12 * 3600};
    for (long long value : seconds) {
        for (long offset : offsets) {
            std::time_t shifted = static_cast<std::time_t>(value + offset);
            std::tm parts {};
            gmtime_r(&shifted, &parts);
            char expected[32];
            std::strftime(expected, sizeof expected, "%a %b %e %H:%M:%S %Y", &parts);
            char actual[25];
            platform::formatCrashTime(value, offset, actual);
            EXPECT_EQ(std::string(actual), std::string(expected)) << value << " " << offset;
        }
    }
}

}  // namespace
