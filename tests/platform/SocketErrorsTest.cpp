#include "platform/SocketErrors.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <netdb.h>
#include <thread>

namespace {

TEST(SocketErrors, ErrnoMapsToWinsockCodesByMeaning) {
    const struct {
        int errnoValue;
        int code;
    } cases[] = {
        {EINTR, 10004},        {EBADF, 10009},           {EACCES, 10013},        {EFAULT, 10014},
        {EINVAL, 10022},       {EMFILE, 10024},          {EAGAIN, 10035},        {EWOULDBLOCK, 10035},
        {EINPROGRESS, 10036},  {EALREADY, 10037},        {ENOTSOCK, 10038},      {EDESTADDRREQ, 10039},
        {EMSGSIZE, 10040},     {EPROTOTYPE, 10041},      {ENOPROTOOPT, 10042},   {EPROTONOSUPPORT, 10043},
        {ESOCKTNOSUPPORT, 10044}, {EOPNOTSUPP, 10045},   {EPFNOSUPPORT, 10046},  {EAFNOSUPPORT, 10047},
        {EADDRINUSE, 10048},   {EADDRNOTAVAIL, 10049},   {ENETDOWN, 10050},      {ENETUNREACH, 10051},
        {ENETRESET, 10052},    {ECONNABORTED, 10053},    {ECONNRESET, 10054},    {ENOBUFS, 10055},
        {EISCONN, 10056},      {ENOTCONN, 10057},        {ESHUTDOWN, 10058},     {EPIPE, 10058},
        {ETIMEDOUT, 10060},    {ECONNREFUSED, 10061},    {EHOSTDOWN, 10064},     {EHOSTUNREACH, 10065},
        {ENOENT, 10107},       {0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::winsockCodeFromErrno(c.errnoValue), c.code) << c.errnoValue;
}

TEST(SocketErrors, NameLookupFailuresMapToTheHostCodes) {
    const struct {
        int result;
        int code;
    } cases[] = {
        {EAI_NONAME, 11001}, {EAI_AGAIN, 11002},  {EAI_FAIL, 11003},     {EAI_NODATA, 11004},
        {EAI_ADDRFAMILY, 11004}, {EAI_FAMILY, 10047}, {EAI_SOCKTYPE, 10044}, {EAI_SERVICE, 10109},
        {EAI_MEMORY, 10055}, {EAI_BADFLAGS, 10022}, {0, 0},
    };
    for (const auto& c : cases) EXPECT_EQ(platform::winsockCodeFromGetaddrinfo(c.result, 0), c.code) << c.result;
    EXPECT_EQ(platform::winsockCodeFromGetaddrinfo(EAI_SYSTEM, ECONNREFUSED), 10061);
}

TEST(SocketErrors, TheLastErrorBelongsToItsThread) {
    platform::setLastSocketError(10054);
    int seenElsewhere = -1;
    std::thread([&] {
        seenElsewhere = platform::lastSocketError();
        platform::setLastSocketError(10061);
    }).join();
    EXPECT_EQ(seenElsewhere, 0);
    EXPECT_EQ(platform::lastSocketError(), 10054);
}

TEST(SocketErrors, StartUpSucceedsWithVersionTwo) {
    unsigned short version = 0;
    EXPECT_EQ(platform::socketStartup(0x0002, version), 0);
    EXPECT_EQ(version, 0x0002);
    EXPECT_EQ(platform::socketCleanup(), 0);
}

}  // namespace
