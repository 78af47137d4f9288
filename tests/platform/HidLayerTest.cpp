// The HID services: report lengths from descriptors, the fake units
// through the service (caps, flush, reads that wait, are cancelled or fail,
// bounded reports, feature scripts, the exact search), the environment's
// choice of backend, the real backend in a child process where no HID unit
// exists, and, where the kernel offers /dev/uhid, virtual units reached
// through the real backend end to end.
#include "platform/Clock.h"
#include "platform/LastError.h"
#include "platform/hid/FakeHid.h"
#include "platform/hid/HidService.h"
#include "platform/hid/ReportDescriptor.h"

#include "TestEnvironment.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <glob.h>
#include <linux/uhid.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

using namespace platform::hid;

namespace {

// ---- Descriptors, written item by item -------------------------------------

using Bytes = std::vector<std::uint8_t>;

// A short item: type 0 main, 1 global, 2 local.
Bytes item(int type, int tag, std::uint32_t value, int size) {
    const int sizeCode = size == 4 ? 3 : size;
    Bytes bytes = {static_cast<std::uint8_t>(tag << 4 | type << 2 | sizeCode)};
    for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    return bytes;
}
Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
Bytes usagePage(std::uint32_t page) { return item(1, 0, page, page > 0xFF ? 2 : 1); }
Bytes usage(std::uint32_t value) { return item(2, 0, value, 1); }
Bytes collection() { return item(0, 10, 1, 1); }
Bytes endCollection() { return item(0, 12, 0, 0); }
Bytes reportSize(std::uint32_t bits) { return item(1, 7, bits, bits > 0xFF ? 2 : 1); }
Bytes reportCount(std::uint32_t count) { return item(1, 9, count, count > 0xFF ? 2 : 1); }
Bytes reportId(std::uint32_t id) { return item(1, 8, id, 1); }
Bytes logical(std::uint32_t maximum) { return item(1, 1, 0, 1) + item(1, 2, maximum, maximum > 0xFF ? 2 : 4); }
Bytes input() { return item(0, 8, 2, 1); }
Bytes output() { return item(0, 9, 2, 1); }
Bytes feature() { return item(0, 11, 2, 1); }
Bytes push() { return item(1, 10, 0, 0); }
Bytes pop() { return item(1, 11, 0, 0); }
Bytes longItem(std::uint8_t dataSize) {
    Bytes bytes = {0xFE, dataSize, 0xF0};
    bytes.resize(bytes.size() + dataSize, 0x81);  // data that would read as Input items
    return bytes;
}
Bytes fields(std::uint32_t bits, std::uint32_t count, Bytes (*kind)()) {
    return reportSize(bits) + reportCount(count) + kind();
}

TEST(ReportDescriptorParser, LengthsWithAndWithoutReportIds) {
    const Bytes vendor = usagePage(0xFF00) + usage(1) + collection();
    struct Case {
        const char* name;
        Bytes descriptor;
        HidCaps caps;
        bool numbered;
        bool complete;
    };
    const std::vector<Case> cases = {
        {"empty", {}, {0, 0, 0}, false, true},
        {"sixteen 16-bit values, unnumbered",
         vendor + logical(1023) + fields(16, 16, input) + endCollection(), {33, 0, 0}, false, true},
        {"the same with report ID 1",
         vendor + reportId(1) + logical(1023) + fields(16, 16, input) + endCollection(), {33, 0, 0}, true, true},
        {"output and feature of a data-acquisition unit",
         vendor + fields(8, 8, input) + fields(8, 8, output) + fields(8, 103, feature) + endCollection(),
         {9, 9, 104}, false, true},
        {"the longest of several numbered reports",
         vendor + reportId(1) + fields(8, 4, input) + reportId(2) + fields(8, 12, input) + reportId(3) +
             fields(8, 2, output) + endCollection(),
         {13, 3, 0}, true, true},
        {"fields of one report add up",
         vendor + fields(1, 3, input) + fields(1, 5, input) + fields(12, 2, input) + endCollection(), {5, 0, 0},
         false, true},
        {"bits round up to whole bytes", vendor + fields(1, 9, input) + endCollection(), {3, 0, 0}, false, true},
        {"a field of zero count makes no report", vendor + fields(8, 0, feature) + endCollection(), {0, 0, 0},
         false, true},
        {"pop restores the pushed size and count",
         vendor + reportSize(8) + reportCount(2) + push() + reportSize(16) + reportCount(10) + output() + pop() +
             input() + endCollection(),
         {3, 21, 0}, false, true},
        {"pop restores the report ID too",
         vendor + reportId(4) + push() + reportId(5) + fields(8, 1, feature) + pop() + fields(8, 6, feature) +
             endCollection(),
         {0, 0, 7}, true, true},
        {"a long item is skipped whole", vendor + longItem(4) + fields(8, 2, input) + endCollection(), {3, 0, 0},
         false, true},
        {"an item cut short ends the parse", vendor + fields(8, 2, input) + Bytes{0x95}, {3, 0, 0}, false, false},
        {"a long item cut short", vendor + fields(8, 2, input) + Bytes{0xFE, 0x08, 0x00, 0x01}, {3, 0, 0}, false,
         false},
        {"a pop without push keeps the state", vendor + pop() + fields(8, 2, input), {3, 0, 0}, false, true},
        {"huge sizes and counts clamp", vendor + item(1, 7, 0xFFFFFFFF, 4) + item(1, 9, 0xFFFFFFFF, 4) + input(),
         {0xFFFF, 0, 0}, false, true},
    };
    for (const Case& c : cases) {
        const ReportDescriptor parsed = parseReportDescriptor(c.descriptor);
        EXPECT_EQ(parsed.caps.inputReportLength, c.caps.inputReportLength) << c.name;
        EXPECT_EQ(parsed.caps.outputReportLength, c.caps.outputReportLength) << c.name;
        EXPECT_EQ(parsed.caps.featureReportLength, c.caps.featureReportLength) << c.name;
        EXPECT_EQ(parsed.numbered, c.numbered) << c.name;
        EXPECT_EQ(parsed.complete, c.complete) << c.name;
    }
}

// ---- The fake units through the service ----------------------------------

constexpr const char* siLabsPath = "/dev/fake-hid/silabs";
constexpr const char* pmdPath = "/dev/fake-hid/pmd";

HidReport numbered(std::initializer_list<std::uint8_t> bytes) { return HidReport(bytes); }

class HidLayer : public ::testing::Test {
protected:
    FakeHid fake;
};

TEST_F(HidLayer, TheProgramsUnitsShowTheirCaps) {
    fake.units = {fakeSiLabsUnit(), fakePmdUnit()};
    auto siLabs = hidOpen(siLabsPath);
    auto pmd = hidOpen(pmdPath);
    ASSERT_TRUE(siLabs && pmd);
    EXPECT_EQ(siLabs->caps(), (HidCaps{33, 0, 0}));
    EXPECT_EQ(pmd->caps(), (HidCaps{9, 9, 104}));
    EXPECT_EQ(fake.openDevices(), 2);
    siLabs.reset();
    EXPECT_EQ(fake.openDevices(), 1);
}

TEST_F(HidLayer, EnumerationOpensNothingAndTheSearchComparesIdsExactly) {
    FakeHidUnit near = fakeSiLabsUnit();
    near.info = {"/dev/fake-hid/near", 0x10C4, 0x0001};
    FakeHidUnit keyboard;
    keyboard.info = {"/dev/fake-hid/keyboard", 0x046D, 0x0000};
    FakeHidUnit broken = fakeSiLabsUnit();
    broken.info.path = "/dev/fake-hid/broken";
    broken.failOpen = true;
    fake.units = {near, keyboard, broken, fakeSiLabsUnit(), fakePmdUnit()};

    const auto listed = hidEnumerate();
    ASSERT_EQ(listed.size(), 5u);
    EXPECT_EQ(listed[0].path, "/dev/fake-hid/near");
    EXPECT_EQ(listed[0].product, 0x0001);
    EXPECT_TRUE(fake.calls().empty());

    auto found = hidOpenFirst(0x10C4, 0x0000);
    ASSERT_TRUE(found);
    // Only the two matches were opened; the broken one was passed over.
    EXPECT_EQ(fake.calls(), (std::vector<std::string>{"open /dev/fake-hid/broken", "open /dev/fake-hid/silabs"}));
    EXPECT_EQ(fake.openDevices(), 1);
    EXPECT_FALSE(hidOpenFirst(0x10C4, 0x0002));
    EXPECT_FALSE(hidOpen("/dev/fake-hid/none"));
    EXPECT_NE(platform::takeLastErrorText(), "");
}

TEST_F(HidLayer, ReadsAreBoundedAndFlushDropsWhatIsQueued) {
    fake.units = {fakeSiLabsUnit()};
    auto device = hidOpen(siLabsPath);
    ASSERT_TRUE(device);
    std::atomic<bool> cancel{false};
    std::uint8_t buffer[40];
    std::size_t length = 0;

    HidReport longReport(64);
    for (std::size_t i = 0; i < longReport.size(); ++i) longReport[i] = static_cast<std::uint8_t>(i + 1);
    fake.queueInput(siLabsPath, numbered({0, 1, 2}));
    fake.queueInput(siLabsPath, longReport);
    std::fill(std::begin(buffer), std::end(buffer), 0xEE);
    ASSERT_EQ(device->read(buffer, 33, length, cancel), HidReadResult::ok);
    EXPECT_EQ(length, 3u);
    EXPECT_EQ(buffer[2], 2);
    EXPECT_EQ(buffer[3], 0xEE);  // a short report leaves the rest alone
    ASSERT_EQ(device->read(buffer, 33, length, cancel), HidReadResult::ok);
    EXPECT_EQ(length, 33u);
    EXPECT_EQ(buffer[32], 33);
    EXPECT_EQ(buffer[33], 0xEE);  // a long one stops at the given size

    fake.queueInput(siLabsPath, numbered({0, 9}));
    fake.queueInput(siLabsPath, numbered({0, 8}));
    ASSERT_TRUE(device->flush());
    fake.queueInput(siLabsPath, numbered({0, 7}));
    ASSERT_EQ(device->read(buffer, 33, length, cancel), HidReadResult::ok);
    EXPECT_EQ(buffer[1], 7);
}

TEST_F(HidLayer, ABlockedReadEndsWhenCancelledOrWhenTheUnitIsUnplugged) {
    fake.units = {fakeSiLabsUnit()};
    auto device = hidOpen(siLabsPath);
    ASSERT_TRUE(device);
    for (const bool unplug : {false, true}) {
        SCOPED_TRACE(unplug ? "unplug" : "cancel");
        std::atomic<bool> cancel{false};
        std::atomic<bool> started{false};
        HidReadResult result = HidReadResult::ok;
        std::thread reader([&] {
            std::uint8_t buffer[33];
            std::size_t length = 0;
            started = true;
            result = device->read(buffer, sizeof buffer, length, cancel);
        });
        while (!started) std::this_thread::yield();
        if (unplug) {
            fake.unplug(siLabsPath);
        } else {
            cancel = true;
        }
        reader.join();
        EXPECT_EQ(result, unplug ? HidReadResult::failed : HidReadResult::cancelled);
    }
    // Gone for good: every later transfer fails.
    std::atomic<bool> cancel{false};
    std::uint8_t buffer[33];
    std::size_t length = 0;
    fake.queueInput(siLabsPath, numbered({0, 1}));
    EXPECT_EQ(device->read(buffer, sizeof buffer, length, cancel), HidReadResult::failed);
    EXPECT_FALSE(device->flush());
    EXPECT_FALSE(device->write(buffer, 2));
    EXPECT_NE(platform::takeLastErrorText(), "");
}

TEST_F(HidLayer, AScriptedReadFailureUnplugsTheUnit) {
    FakeHidUnit unit = fakeSiLabsUnit();
    unit.failReadAt = 1;
    fake.units = {unit};
    auto device = hidOpen(siLabsPath);
    ASSERT_TRUE(device);
    std::atomic<bool> cancel{false};
    std::uint8_t buffer[33];
    std::size_t length = 0;
    for (int i = 0; i < 3; ++i) fake.queueInput(siLabsPath, numbered({0, static_cast<std::uint8_t>(i)}));
    EXPECT_EQ(device->read(buffer, sizeof buffer, length, cancel), HidReadResult::ok);
    EXPECT_EQ(device->read(buffer, sizeof buffer, length, cancel), HidReadResult::failed);
    EXPECT_EQ(device->read(buffer, sizeof buffer, length, cancel), HidReadResult::failed);
}

TEST_F(HidLayer, ReportsProducedAtARateFollowTheClock) {
    platform::VirtualClock::enable(1000);
    FakeHidUnit unit = fakeSiLabsUnit();
    unit.produce = [](int n) {
        std::array<std::uint16_t, 16> values{};
        values[7] = static_cast<std::uint16_t>(100 + n);
        return siLabsReport(values);
    };
    unit.produceIntervalMs = 8;
    fake.units = {unit};
    auto device = hidOpen(siLabsPath);
    ASSERT_TRUE(device);
    std::atomic<bool> cancel{false};
    std::uint8_t buffer[33];
    std::size_t length = 0;
    auto valueSeven = [&] { return buffer[15] << 8 | buffer[16]; };

    // Two reports became due by 1016: both wait in the unit's queue.
    platform::VirtualClock::advance(16);
    ASSERT_EQ(device->read(buffer, sizeof buffer, length, cancel), HidReadResult::ok);
    EXPECT_EQ(valueSeven(), 100);
    ASSERT_EQ(device->read(buffer, sizeof buffer, length, cancel), HidReadResult::ok);
    EXPECT_EQ(valueSeven(), 101);

    // Flushed: the one due at 1024 is dropped, the next read waits for 1032.
    platform::VirtualClock::advance(9);
    ASSERT_TRUE(device->flush());
    HidReadResult result = HidReadResult::failed;
    std::thread reader([&] { result = device->read(buffer, sizeof buffer, length, cancel); });
    platform::VirtualClock::advance(7);
    reader.join();
    ASSERT_EQ(result, HidReadResult::ok);
    EXPECT_EQ(valueSeven(), 102);
    EXPECT_EQ(length, 33u);
    platform::VirtualClock::disable();
}

TEST_F(HidLayer, OutputReportsAreLoggedAndFeatureReadsFollowTheirScript) {
    FakeHidUnit unit = fakePmdUnit();
    unit.feature = [](int n) { return HidReport{0, static_cast<std::uint8_t>(n), 0xAA, 0xBB}; };
    unit.failWriteAt = 2;
    unit.failFeatureAt = 1;
    fake.units = {unit};
    auto device = hidOpen(pmdPath);
    ASSERT_TRUE(device);

    const std::vector<HidReport> reports = {{0x00, 0x05}, {0x00, 0x0D, 0x01, 0x00}, {0x00, 0x10}, {0x00, 0x0E}};
    std::vector<bool> accepted;
    for (const HidReport& report : reports) accepted.push_back(device->write(report.data(), report.size()));
    EXPECT_EQ(accepted, (std::vector<bool>{true, true, false, true}));
    EXPECT_EQ(fake.written(pmdPath), (std::vector<HidReport>{reports[0], reports[1], reports[3]}));

    std::uint8_t buffer[104] = {};
    std::size_t length = 0;
    ASSERT_TRUE(device->getFeature(buffer, sizeof buffer, length));
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(buffer[1], 0);
    EXPECT_FALSE(device->getFeature(buffer, sizeof buffer, length));
    EXPECT_EQ(length, 0u);
    ASSERT_TRUE(device->getFeature(buffer, 3, length));
    EXPECT_EQ(length, 3u);  // bounded by the buffer
    EXPECT_EQ(buffer[1], 2);
    EXPECT_EQ(buffer[3], 0xBB);  // untouched beyond it (the first answer's byte)
}

TEST(HidReports, PackedLikeTheUnitsSendThem) {
    std::array<std::uint16_t, 16> values{};
    for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<std::uint16_t>(k * 67 + 3);
    const HidReport siLabs = siLabsReport(values);
    ASSERT_EQ(siLabs.size(), 33u);
    EXPECT_EQ(siLabs[0], 0);
    for (std::size_t k = 0; k < values.size(); ++k) EXPECT_EQ(siLabs[1 + 2 * k] << 8 | siLabs[2 + 2 * k], values[k]);

    std::array<std::uint16_t, 64> samples{};
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint16_t>((i * 977 + 5) % 4096);
    const HidReport pmd = pmdFeatureReport(samples, true, 0x0201);
    ASSERT_EQ(pmd.size(), 104u);
    for (std::size_t t = 0; t < 32; ++t) {
        EXPECT_EQ((pmd[2 + 3 * t] >> 4) * 256 + pmd[1 + 3 * t], samples[2 * t]) << t;
        EXPECT_EQ((pmd[2 + 3 * t] & 0x0F) * 256 + pmd[3 + 3 * t], samples[2 * t + 1]) << t;
    }
    EXPECT_NE(pmd[97], 0);
    EXPECT_EQ(pmd[102] | pmd[103] << 8, 0x0201);
}

class HidSelection : public ::testing::Test {
protected:
    void TearDown() override { resetHidService(); }
};

TEST_F(HidSelection, NoneAndFakeFromTheEnvironment) {
    {
        testing_support::ScopedEnvironment none("VELKARN_HID", "none");
        resetHidService();
        EXPECT_TRUE(hidEnumerate().empty());
        EXPECT_FALSE(hidOpenFirst(0x10C4, 0x0000));
    }
    testing_support::ScopedEnvironment fake("VELKARN_HID", "fake");
    resetHidService();
    const auto listed = hidEnumerate();
    ASSERT_EQ(listed.size(), 2u);
    auto siLabs = hidOpenFirst(0x10C4, 0x0000);
    auto pmd = hidOpenFirst(0x09DB, 0x007A);
    ASSERT_TRUE(siLabs && pmd);
    std::atomic<bool> cancel{false};
    std::uint8_t buffer[104] = {};
    std::size_t length = 0;
    ASSERT_EQ(siLabs->read(buffer, 33, length, cancel), HidReadResult::ok);
    EXPECT_EQ(length, 33u);
    EXPECT_EQ(buffer[15] << 8 | buffer[16], 512);
    ASSERT_TRUE(pmd->getFeature(buffer, sizeof buffer, length));
    EXPECT_EQ(length, 104u);
    EXPECT_EQ(buffer[102], 1);
}

// The real backend, in a child process: with no HID unit, an empty list and
// nothing on stdout or stderr.
TEST(HidRealBackend, WithoutUnitsListsNothingAndStaysQuiet) {
    glob_t found{};
    const bool units = ::glob("/dev/hidraw*", 0, nullptr, &found) == 0 && found.gl_pathc > 0;
    globfree(&found);
    if (units) GTEST_SKIP() << "this machine has HID units";
    testing_support::TemporaryDirectory directory;
    const std::string output = directory.file("output.txt");
    testing_support::ScopedEnvironment backend("VELKARN_HID", std::nullopt);
    EXPECT_EQ(testing_support::runProgram({VELKARN_DEVICE_PROBE, "hid"}, output), 0);
    EXPECT_EQ(testing_support::readFile(output), "");
}

}  // namespace

// ---- Virtual units through the kernel's uhid (skipped where none exists) --
//
// Each unit is made with UHID_CREATE2 and reached only through the service
// on the hidapi backend: listed, opened, read, written and asked for
// feature reports over hidraw. A reader thread answers the kernel's report
// requests from a script and records what the layer sent.

namespace uhid {

// Why virtual units cannot be made here; empty when they can.
std::string unavailable() {
    const int fd = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
    if (fd < 0) return std::string("no usable /dev/uhid (") + std::strerror(errno) + ")";
    ::close(fd);
    return {};
}

// Polls for about five seconds: the kernel adds a unit's hidraw node from a
// worker, and the reader thread takes events in its own time.
template <typename Condition>
bool waitFor(Condition condition) {
    for (int i = 0; i < 500; ++i) {
        if (condition()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return condition();
}

// What the kernel passed on to the unit.
struct Request {
    std::uint32_t type = 0;          // UHID_OUTPUT, UHID_GET_REPORT or UHID_SET_REPORT
    std::uint8_t reportType = 0;     // UHID_FEATURE_REPORT, UHID_OUTPUT_REPORT, ...
    std::uint8_t reportNumber = 0;   // the requests only
    Bytes data;                      // OUTPUT and SET_REPORT
    friend bool operator==(const Request&, const Request&) = default;
};
std::ostream& operator<<(std::ostream& out, const Request& request) {
    out << "{type " << request.type << ", report type " << int(request.reportType) << ", number "
        << int(request.reportNumber) << ", data";
    for (const std::uint8_t byte : request.data) out << ' ' << int(byte);
    return out << '}';
}

// The script's answer to one GET_REPORT: the report, or a nonzero error.
struct Answer {
    Bytes report;
    std::uint16_t error = 0;
};

class VirtualUnit {
public:
    VirtualUnit(std::uint16_t bus, std::uint16_t vendor, std::uint16_t product, const Bytes& descriptor,
                std::vector<Answer> answers = {})
        : answers_(std::move(answers)) {
        static std::atomic<int> made{0};
        uniq_ = "velkarn-" + std::to_string(::getpid()) + "-" + std::to_string(made++);
        fd_ = ::open("/dev/uhid", O_RDWR | O_CLOEXEC);
        if (fd_ < 0 || descriptor.empty() || descriptor.size() > HID_MAX_DESCRIPTOR_SIZE) return;
        uhid_event event{};
        event.type = UHID_CREATE2;
        std::snprintf(reinterpret_cast<char*>(event.u.create2.name), sizeof event.u.create2.name,
                      "Velkarn virtual %04x:%04x", vendor, product);
        std::snprintf(reinterpret_cast<char*>(event.u.create2.uniq), sizeof event.u.create2.uniq, "%s",
                      uniq_.c_str());
        event.u.create2.rd_size = static_cast<std::uint16_t>(descriptor.size());
        event.u.create2.bus = bus;
        event.u.create2.vendor = vendor;
        event.u.create2.product = product;
        std::copy(descriptor.begin(), descriptor.end(), event.u.create2.rd_data);
        created_ = send(event);
        if (created_) reader_ = std::thread([this] { run(); });
    }

    ~VirtualUnit() {
        stop_ = true;
        if (reader_.joinable()) reader_.join();
        if (created_) {
            uhid_event event{};
            event.type = UHID_DESTROY;
            send(event);
        }
        if (fd_ >= 0) ::close(fd_);
    }

    VirtualUnit(const VirtualUnit&) = delete;
    VirtualUnit& operator=(const VirtualUnit&) = delete;

    bool created() const { return created_; }

    // The hidraw node the kernel made for this unit (found by its uniq
    // string), or empty while there is none.
    std::string path() const {
        std::string found;
        glob_t nodes{};
        if (::glob("/sys/class/hidraw/hidraw*", 0, nullptr, &nodes) == 0) {
            for (std::size_t i = 0; i < nodes.gl_pathc && found.empty(); ++i) {
                const std::string node = nodes.gl_pathv[i];
                const std::string uevent = testing_support::readFile(node + "/device/uevent");
                if (uevent.find("\nHID_UNIQ=" + uniq_ + "\n") == std::string::npos) continue;
                found = "/dev/" + node.substr(node.rfind('/') + 1);
            }
        }
        globfree(&nodes);
        return found;
    }

    // One input report as the unit sends it on the wire.
    bool sendInput(const Bytes& report) {
        uhid_event event{};
        event.type = UHID_INPUT2;
        event.u.input2.size = static_cast<std::uint16_t>(report.size());
        std::copy(report.begin(), report.end(), event.u.input2.data);
        return send(event);
    }

    std::vector<Request> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

private:
    bool send(const uhid_event& event) {
        return ::write(fd_, &event, sizeof event) == static_cast<ssize_t>(sizeof event);
    }

    void run() {
        while (!stop_) {
            pollfd ready{fd_, POLLIN, 0};
            if (::poll(&ready, 1, hidReadSliceMs) <= 0) continue;
            uhid_event event{};
            if (::read(fd_, &event, sizeof event) <= 0) continue;
            uhid_event reply{};
            Request request;
            request.type = event.type;
            switch (event.type) {
            case UHID_OUTPUT: {
                request.reportType = event.u.output.rtype;
                const std::size_t size = std::min<std::size_t>(event.u.output.size, UHID_DATA_MAX);
                request.data.assign(event.u.output.data, event.u.output.data + size);
                break;
            }
            case UHID_GET_REPORT: {
                request.reportType = event.u.get_report.rtype;
                request.reportNumber = event.u.get_report.rnum;
                // Past the script's end the unit fails the request.
                Answer answer{{}, EIO};
                {
                    std::lock_guard lock(mutex_);
                    if (nextAnswer_ < answers_.size()) answer = answers_[nextAnswer_++];
                }
                reply.type = UHID_GET_REPORT_REPLY;
                reply.u.get_report_reply.id = event.u.get_report.id;
                reply.u.get_report_reply.err = answer.error;
                reply.u.get_report_reply.size = static_cast<std::uint16_t>(answer.report.size());
                std::copy(answer.report.begin(), answer.report.end(), reply.u.get_report_reply.data);
                break;
            }
            case UHID_SET_REPORT: {
                request.reportType = event.u.set_report.rtype;
                request.reportNumber = event.u.set_report.rnum;
                const std::size_t size = std::min<std::size_t>(event.u.set_report.size, UHID_DATA_MAX);
                request.data.assign(event.u.set_report.data, event.u.set_report.data + size);
                reply.type = UHID_SET_REPORT_REPLY;
                reply.u.set_report_reply.id = event.u.set_report.id;
                reply.u.set_report_reply.err = 0;
                break;
            }
            default:  // start, stop, open and close
                continue;
            }
            {
                std::lock_guard lock(mutex_);
                requests_.push_back(request);
            }
            if (reply.type != 0) send(reply);
        }
    }

    int fd_ = -1;
    bool created_ = false;
    std::string uniq_;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::vector<Answer> answers_;
    std::size_t nextAnswer_ = 0;
    std::vector<Request> requests_;
    std::thread reader_;
};

// The unit as the service lists it, opened by its path; null, with the
// failure reported, when it was never listed, has other IDs or does not open.
std::unique_ptr<HidDevice> openListed(const VirtualUnit& unit, std::uint16_t vendor, std::uint16_t product) {
    HidDeviceInfo info;
    waitFor([&] {
        const std::string path = unit.path();
        if (path.empty() || ::access(path.c_str(), F_OK) != 0) return false;
        for (const HidDeviceInfo& candidate : hidEnumerate()) {
            if (candidate.path == path) info = candidate;
        }
        return !info.path.empty();
    });
    if (info.path.empty()) {
        ADD_FAILURE() << "the virtual unit was not listed";
        return nullptr;
    }
    if (info.vendor != vendor || info.product != product) {
        ADD_FAILURE() << info.path << " is listed as " << std::hex << info.vendor << ':' << info.product;
        return nullptr;
    }
    auto device = hidOpen(info.path);
    if (!device) ADD_FAILURE() << platform::takeLastErrorText();
    return device;
}

// One read, cancelled after five seconds if no report comes. The report is
// what the layer gave, ID byte first.
HidReadResult readReport(HidDevice& device, std::size_t size, Bytes& report) {
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::thread watchdog([&] {
        std::unique_lock lock(mutex);
        if (!finished.wait_for(lock, std::chrono::seconds(5), [&] { return done; })) cancel = true;
    });
    report.assign(size, 0xEE);
    std::size_t length = 0;
    const HidReadResult result = device.read(report.data(), size, length, cancel);
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    finished.notify_one();
    watchdog.join();
    report.resize(length);
    return result;
}

}  // namespace uhid

class HidUhid : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string reason = uhid::unavailable();
        if (!reason.empty()) GTEST_SKIP() << reason << ": virtual HID units cannot be made here";
        resetHidService();
    }
    void TearDown() override { resetHidService(); }

    testing_support::ScopedEnvironment backend_{"VELKARN_HID", std::nullopt};
};

TEST_F(HidUhid, SiLabsUnitsWithAndWithoutAReportIdAreReadThroughHidapi) {
    struct Case {
        const char* name;
        std::uint8_t reportId;  // 0: reports are not numbered
    };
    for (const Case& c : {Case{"without report IDs", 0}, Case{"with report ID 1", 1}}) {
        SCOPED_TRACE(c.name);
        const Bytes descriptor = usagePage(0xFF00) + usage(1) + collection() +
                                 (c.reportId != 0 ? reportId(c.reportId) : Bytes{}) + logical(1023) +
                                 fields(16, 16, input) + endCollection();
        uhid::VirtualUnit unit(BUS_USB, 0x10C4, 0x0000, descriptor);
        ASSERT_TRUE(unit.created());
        auto device = uhid::openListed(unit, 0x10C4, 0x0000);
        ASSERT_TRUE(device);
        EXPECT_EQ(device->caps(), (HidCaps{33, 0, 0}));

        // The layer gives every report with its ID byte first; on the wire
        // that byte is there only where reports are numbered.
        auto report = [&](std::uint16_t base) {
            std::array<std::uint16_t, 16> values{};
            for (std::size_t k = 0; k < values.size(); ++k) values[k] = static_cast<std::uint16_t>(base + 61 * k);
            HidReport bytes = siLabsReport(values);
            bytes[0] = c.reportId;
            return bytes;
        };
        auto wire = [&](const HidReport& bytes) {
            return c.reportId != 0 ? bytes : Bytes(bytes.begin() + 1, bytes.end());
        };
        Bytes got;
        const HidReport first = report(3);
        ASSERT_TRUE(unit.sendInput(wire(first)));
        ASSERT_EQ(uhid::readReport(*device, 33, got), HidReadResult::ok);
        EXPECT_EQ(got, first);

        // A longer report stops at the caller's size.
        const HidReport second = report(100);
        ASSERT_TRUE(unit.sendInput(wire(second) + Bytes{1, 2, 3, 4, 5, 6, 7}));
        ASSERT_EQ(uhid::readReport(*device, 33, got), HidReadResult::ok);
        EXPECT_EQ(got, second);

        // Flush drops what is queued; the next read has the next report.
        ASSERT_TRUE(unit.sendInput(wire(report(200))));
        ASSERT_TRUE(unit.sendInput(wire(report(300))));
        EXPECT_TRUE(device->flush());
        const HidReport last = report(400);
        ASSERT_TRUE(unit.sendInput(wire(last)));
        ASSERT_EQ(uhid::readReport(*device, 33, got), HidReadResult::ok);
        EXPECT_EQ(got, last);

        device.reset();
        EXPECT_TRUE(unit.requests().empty());  // a unit that is only read hears nothing
    }
}

// The kernel leaves USB units with the PMD's IDs to other drivers and never
// makes hidraw nodes for them, so the virtual one is on the Bluetooth bus;
// hidraw and the layer treat it the same.
TEST_F(HidUhid, APmdUnitAnswersFeatureReadsFromAScriptAndGetsTheOutputReports) {
    const Bytes descriptor = usagePage(0xFF00) + usage(1) + collection() + fields(8, 8, input) +
                             fields(8, 8, output) + fields(8, 103, feature) + endCollection();
    std::array<std::uint16_t, 64> samples{};
    for (std::size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<std::uint16_t>((i * 977 + 5) % 4096);
    const HidReport block = pmdFeatureReport(samples, false, 1);
    samples.fill(1500);
    const HidReport overRange = pmdFeatureReport(samples, true, 1);
    uhid::VirtualUnit unit(BUS_BLUETOOTH, 0x09DB, 0x007A, descriptor,
                           {{block, 0}, {{}, EIO}, {overRange, 0}});
    ASSERT_TRUE(unit.created());
    auto device = uhid::openListed(unit, 0x09DB, 0x007A);
    ASSERT_TRUE(device);
    EXPECT_EQ(device->caps(), (HidCaps{9, 9, 104}));

    // Output reports at the unit's length, ID byte 0 first, as the reader
    // sends them.
    const Bytes scan = {0x00, 0x0E, 0x40, 0x00, 0x65, 0x04, 0x01, 0x00, 0x00};
    const Bytes stop = {0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};
    EXPECT_TRUE(device->write(scan.data(), scan.size()));

    std::uint8_t buffer[104] = {};
    std::size_t length = 0;
    ASSERT_TRUE(device->getFeature(buffer, sizeof buffer, length)) << platform::takeLastErrorText();
    EXPECT_EQ(Bytes(buffer, buffer + length), block);
    std::fill(std::begin(buffer), std::end(buffer), 0);
    EXPECT_FALSE(device->getFeature(buffer, sizeof buffer, length));  // the unit fails the request
    EXPECT_EQ(length, 0u);
    EXPECT_NE(platform::takeLastErrorText(), "");
    // A feature report is bounded by the caller's size.
    std::fill(std::begin(buffer), std::end(buffer), 0);
    ASSERT_TRUE(device->getFeature(buffer, 50, length));
    EXPECT_EQ(Bytes(buffer, buffer + length), Bytes(overRange.begin(), overRange.begin() + 50));
    EXPECT_EQ(buffer[50], 0);
    EXPECT_TRUE(device->write(stop.data(), stop.size()));
    device.reset();

    const std::vector<uhid::Request> expected = {
        {UHID_OUTPUT, UHID_OUTPUT_REPORT, 0, scan},
        {UHID_GET_REPORT, UHID_FEATURE_REPORT, 0, {}},
        {UHID_GET_REPORT, UHID_FEATURE_REPORT, 0, {}},
        {UHID_GET_REPORT, UHID_FEATURE_REPORT, 0, {}},
        {UHID_OUTPUT, UHID_OUTPUT_REPORT, 0, stop},
    };
    uhid::waitFor([&] { return unit.requests().size() >= expected.size(); });
    EXPECT_EQ(unit.requests(), expected);
}
