#include "FrameworkTest.h"

#include "framework/Reporters.h"
#include "platform/LastError.h"
#include "platform/SocketErrors.h"

#include <cerrno>

namespace {

using testing_support::logTexts;

class Reporters : public FrameworkTest {};

TEST_F(Reporters, SuccessLogsNothing) {
    EXPECT_TRUE(reportWindowsError(true, "A.cpp", 1));
    EXPECT_TRUE(reportDirectXError(0, "A.cpp", 2));
    EXPECT_TRUE(reportPrimitiveError(0, "A.cpp", 3));
    EXPECT_TRUE(reportRegistryError(0, "A.cpp", 4));
    EXPECT_TRUE(reportSocketError(0, "A.cpp", 5));
    EXPECT_TRUE(logTexts().empty());
}

TEST_F(Reporters, EachFailureLeavesItsLineAndGivesFalse) {
    platform::setLastErrorText("Cannot open /x: Permission denied");
    EXPECT_FALSE(reportWindowsError(false, "/src/Window.cpp", 10));
    errno = ENOENT;  // no text from the layer: the C library's
    EXPECT_FALSE(reportWindowsError(false, "Window.cpp", 11));
    EXPECT_FALSE(reportDirectXError(-2005401480, "Motor.cpp", 12));
    EXPECT_FALSE(reportPrimitiveError(-8, "Fft.cpp", 13));
    EXPECT_FALSE(reportPrimitiveError(20, "Fft.cpp", 14));  // warnings too
    EXPECT_FALSE(reportRegistryError(2, "Settings.cpp", 15));
    platform::setLastSocketError(10054);
    EXPECT_FALSE(reportSocketError(-1, "Socket.cpp", 16));
    EXPECT_EQ(logTexts(), (std::vector<std::string>{
                              "Windows trouble in file Window.cpp, line 10: Cannot open /x: Permission denied",
                              "Windows trouble in file Window.cpp, line 11: No such file or directory",
                              "DirectX trouble in file Motor.cpp, line 12: Unknown",
                              "Primitives trouble in file Fft.cpp, line 13: Null pointer error",
                              "Primitives trouble in file Fft.cpp, line 14: The target cpu is not recognised",
                              "Registry trouble in file Settings.cpp, line 15: The system cannot find the file specified.",
                              "Socket trouble in file Socket.cpp, line 16: Connection reset by peer.",
                          }));
}

TEST_F(Reporters, TheLayersTextIsUsedOnce) {
    platform::setLastErrorText("first failure");
    reportWindowsError(false, "A.cpp", 1);
    errno = EACCES;
    reportWindowsError(false, "A.cpp", 2);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{"Windows trouble in file A.cpp, line 1: first failure",
                                                    "Windows trouble in file A.cpp, line 2: Permission denied"}));
}

TEST_F(Reporters, DirectXNamesComeFromTheRegisteredNamer) {
    setDirectXErrorNamer([](std::int32_t code) -> const char* { return code == -1 ? "DSERR_GENERIC" : nullptr; });
    reportDirectXError(-1, "A.cpp", 1);
    reportDirectXError(-2, "A.cpp", 2);
    setDirectXErrorNamer(nullptr);
    EXPECT_EQ(logTexts(), (std::vector<std::string>{"DirectX trouble in file A.cpp, line 1: DSERR_GENERIC",
                                                    "DirectX trouble in file A.cpp, line 2: Unknown"}));
}

TEST_F(Reporters, AnAlienSocketResultIsLoggedAsSuch) {
    EXPECT_FALSE(reportSocketError(5, "Socket.cpp", 3));
    std::vector<std::string> texts = logTexts();
    ASSERT_EQ(texts.size(), 1u);
    EXPECT_EQ(texts[0].rfind("File Reporters.cpp, Line ", 0), 0u) << texts[0];
    EXPECT_NE(texts[0].find(": Alien socket error. Evacuate premises immediately."), std::string::npos);
}

TEST_F(Reporters, EverySocketCodeHasItsText) {
    const struct {
        int code;
        const char* text;
    } table[] = {
        {10004, "Interrupted function call."},
        {10013, "Permission denied."},
        {10014, "Bad address."},
        {10022, "Invalid argument."},
        {10024, "Too many open files."},
        {10035, "Resource temporarily unavailable."},
        {10036, "Operation now in progress."},
        {10037, "Operation already in progress."},
        {10038, "Socket operation on non-socket."},
        {10039, "Destination address required."},
        {10040, "Message too long."},
        {10041, "Protocol wrong type for socket."},
        {10042, "Bad protocol option."},
        {10043, "Protocol not supported."},
        {10044, "Socket type not supported."},
        {10045, "Operation not supported."},
        {10046, "Protocol family not supported."},
        {10047, "Address family not supported by protocol family."},
        {10048, "Address already in use."},
        {10049, "Cannot assign requested address."},
        {10050, "Network is down."},
        {10051, "Network is unreachable."},
        {10052, "Network dropped connection on reset."},
        {10053, "Software caused connection abort."},
        {10054, "Connection reset by peer."},
        {10055, "No buffer space available."},
        {10056, "Socket is already connected."},
        {10057, "Socket is not connected."},
        {10058, "Cannot send after socket shutdown."},
        {10060, "Connection timed out."},
        {10061, "Connection refused."},
        {10064, "Host is down."},
        {10065, "No route to host."},
        {10067, "Too many processes."},
        {10091, "Network subsystem is unavailable."},
        {10092, "WINSOCK.DLL version out of range."},
        {10093, "Successful WSAStartup not yet performed."},
        {10101, "Graceful shutdown in progress."},
        {10107, "System call failure."},
        {10109, "Class type not found."},
        {11001, "Host not found."},
        {11002, "Non-authoritative host not found."},
        {11003, "This is a non-recoverable error."},
        {11004, "Valid name, no data record of requested type."},
        {0, "Unknown socket error."},
        {10059, "Unknown socket error."},
        {11005, "Unknown socket error."},
    };
    for (const auto& entry : table) EXPECT_STREQ(socketErrorText(entry.code), entry.text) << entry.code;
}

}  // namespace
