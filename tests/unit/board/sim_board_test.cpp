// The simulated board: byte timing on the wire, garbling between mismatched rates, the
// receiver FIFO, the tick, and fresh RAM at every power-on.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "board.h"
#include "devices/interrupt.h"
#include "fw_harness.h"
#include "sim.h"
#include "loader.h"
#include "uart.h"

namespace {

// A tiny firmware for the board tests: programs port 0 and echoes or sends as told.
std::string toSend;
int ticks;

void setRate(int port, uint32_t rate) { board_uart_set_ratio(port, rate / 100 - 1, 5119); }

int sendingMain() {
    board_uart_enable(0);
    setRate(0, 115200);
    for (char c : toSend) {
        while (!board_uart_tx_ready(0)) boardIdle();
        board_uart_write(0, uint8_t(c));
    }
    for (;;) boardIdle();
}

std::string received;
uint32_t lastWord;
int receivingMain() {
    board_uart_enable(0);
    setRate(0, 115200);
    for (;;) {
        while (board_uart_rx_ready(0)) {
            lastWord = board_uart_read(0);
            received += char(lastWord & 0xFF);
        }
        boardIdle();
    }
}

void tickIsr() {
    ticks++;
    board_timer1_ack();
}
int tickingMain() {
    interrupt_init();
    interrupt_set_isr(IRQ_TIMER1, tickIsr);
    interrupt_enable(IRQ_TIMER1, 0);
    board_timer1_start(0x4000);
    for (;;) boardIdle();
}

void boot(int (*main)()) {
    sim::setFirmwareLoader([main] { return sim::FirmwareEntry{main, irq_handler}; }, [] {});
    sim::uart::hostReceived(0).clear();
    sim::uart::setHostBaud(0, 115200);
    sim::powerOn();
}

struct SimBoard : ::testing::Test {
    // The host's side of the line is not the board's: a rate a test set stays set.
    void TearDown() override {
        sim::powerOff();
        sim::uart::setHostBaud(0, 115200);
    }
};

}  // namespace

TEST_F(SimBoard, BytesTakeTenBitTimesBackToBack) {
    toSend = std::string(128, 'x');
    boot(sendingMain);
    sim::Time start = sim::now();
    sim::runFor(20 * sim::kMs);
    auto &rx = sim::uart::hostReceived(0);
    ASSERT_EQ(rx.size(), 128u);
    // 128 characters at 115200 bit/s: 11.1 ms.
    double ms = double(rx.back().at - start) / double(sim::kMs);
    EXPECT_NEAR(ms, 128 * 10 / 115.2, 0.01);
    EXPECT_NEAR(double(rx[1].at - rx[0].at), 1e9 * 10 / 115200, 1.0);
}

TEST_F(SimBoard, MismatchedRatesGarbleWithAFramingError) {
    boot(receivingMain);
    received.clear();
    sim::runFor(sim::kMs);
    sim::uart::hostSend(0, "A");
    sim::runFor(sim::kMs);
    EXPECT_EQ(received, "A");
    EXPECT_EQ(lastWord & UART_RX_ERR, 0u);
    sim::uart::setHostBaud(0, 9600);
    sim::uart::hostSend(0, "A");
    sim::runFor(5 * sim::kMs);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_NE(received[1], 'A');
    EXPECT_NE(lastWord & UART_RX_FRMERR, 0u);
}

TEST_F(SimBoard, TickEveryMillisecondInVirtualTime) {
    ticks = 0;
    boot(tickingMain);
    sim::runFor(1000 * sim::kMs + sim::kUs);
    EXPECT_EQ(ticks, 1000);
}

TEST_F(SimBoard, RunStopsWhenTheConditionHolds) {
    toSend = "ab";
    boot(sendingMain);
    sim::Time start = sim::now();
    bool stopped = sim::runFor(sim::kSec, [] { return !sim::uart::hostReceived(0).empty(); });
    EXPECT_TRUE(stopped);
    EXPECT_LT(sim::now() - start, sim::kMs);
}

// The real firmware module, started afresh at each power-on.
TEST_F(SimBoard, PowerCycleStartsTheFirmwareFromMain) {
    sim::useFirmwareModule(VMOD_FIRMWARE_MODULE);
    sim::setStateDir(fwtest::freshStateDir());  // the start writes the EEPROM
    sim::uart::hostReceived(0).clear();
    sim::powerOn();
    // The start includes the panel's power sequence (about 110 ms); with a blank Data Flash
    // the image load reports its failure before the first prompt.
    auto received = [] {
        std::string s;
        for (const auto &b : sim::uart::hostReceived(0)) s += char(b.c);
        return s;
    };
    sim::runFor(300 * sim::kMs);
    std::string first = received();
    ASSERT_GE(first.size(), 2u);
    EXPECT_EQ(first.substr(first.size() - 2), ">\r");
    sim::powerOff();
    sim::uart::hostReceived(0).clear();
    sim::powerOn();
    sim::runFor(300 * sim::kMs);
    EXPECT_EQ(received(), first);  // the same start again, up to the first prompt
}

// The host's transmitter of the interactive front ends: it takes bytes from its source only
// as the line carries them, and with XON/XOFF on it stops at the module's XOFF.
namespace {

struct HostStream {
    std::string data;
    size_t taken = 0;
    size_t take(uint8_t *buf, size_t max) {
        size_t n = std::min(max, data.size() - taken);
        for (size_t i = 0; i < n; ++i) buf[i] = uint8_t(data[taken + i]);
        taken += n;
        return n;
    }
};

// Receives, and sends XOFF after the 50th byte and XON 20 ms later.
int pausingMain() {
    board_uart_enable(0);
    setRate(0, 115200);
    for (;;) {
        while (board_uart_rx_ready(0)) {
            received += char(board_uart_read(0) & 0xFF);
            if (received.size() == 50) {
                board_uart_write(0, 0x13);
                sim::schedule(sim::now() + 20 * sim::kMs, [] { board_uart_write(0, 0x11); });
            }
        }
        boardIdle();
    }
}

struct HostTransmitter : SimBoard {
    HostStream stream;
    void start(int (*main)(), bool xonXoff) {
        received.clear();
        stream.data = std::string(2000, 'a');
        boot(main);
        sim::uart::setHostFlow(0, xonXoff);
        sim::uart::setHostSource(0, [this](uint8_t *b, size_t m) { return stream.take(b, m); });
    }
    void TearDown() override {
        sim::uart::setHostSource(0, nullptr);
        sim::uart::setHostFlow(0, false);
        SimBoard::TearDown();
    }
};

}  // namespace

TEST_F(HostTransmitter, TakesBytesOnlyAsTheLineCarriesThem) {
    start(receivingMain, false);
    sim::runFor(10 * sim::kMs);
    // 10 ms at 115200 bit/s carry 115 bytes; the rest stays with the source but for the FIFO.
    EXPECT_NEAR(double(received.size()), 115.0, 1.0);
    EXPECT_LE(stream.taken, received.size() + 17);
    EXPECT_TRUE(sim::uart::hostSending(0));
}

TEST_F(HostTransmitter, QueuedBytesGoFirstAtTheSamePace) {
    start(receivingMain, false);
    sim::uart::hostQueue(0, "console\r");
    sim::runFor(2 * sim::kMs);
    ASSERT_GE(received.size(), 8u);
    EXPECT_EQ(received.substr(0, 8), "console\r");
    EXPECT_EQ(received.substr(8), std::string(received.size() - 8, 'a'));
}

TEST_F(HostTransmitter, AQueuedLineWaitsForTheEndOfTheLineTheSourceIsSending) {
    start(receivingMain, false);
    stream.data.clear();
    for (int i = 0; i < 40; ++i) stream.data += "host line " + std::to_string(i) + " with some more text\r";
    sim::runFor(3 * sim::kMs);  // some 34 bytes: inside the second line
    sim::uart::hostQueue(0, "console\r");
    sim::runFor(30 * sim::kMs);
    // Every line arrives whole: the host's in their order, the console's between two of them.
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t cr; (cr = received.find('\r', at)) != std::string::npos; at = cr + 1)
        lines.push_back(received.substr(at, cr - at));
    ASSERT_GE(lines.size(), 6u);
    int next = 0, console = 0;
    for (const std::string &l : lines) {
        if (l == "console") {
            ++console;
            continue;
        }
        EXPECT_EQ(l, "host line " + std::to_string(next) + " with some more text");
        ++next;
    }
    EXPECT_EQ(console, 1);
}

TEST_F(HostTransmitter, AQueuedLineGoesWhenTheSourceStopsInsideALine) {
    start(receivingMain, false);
    stream.data = "partial";  // a person who has typed half a command and paused
    sim::runFor(2 * sim::kMs);
    sim::uart::hostQueue(0, "console\r");
    sim::runFor(2 * sim::kMs);
    EXPECT_EQ(received, "partialconsole\r");
}

TEST_F(HostTransmitter, XoffStopsTheHostAfterItsFifoUntilXon) {
    start(pausingMain, true);
    sim::runFor(15 * sim::kMs);
    EXPECT_TRUE(sim::uart::hostStopped(0));
    size_t paused = received.size();
    // The XOFF reaches the host a byte time after the 50th byte; what was in the FIFO and on
    // the wire then still arrives.
    EXPECT_GT(paused, 50u);
    EXPECT_LE(paused, 50u + 18u);
    sim::runFor(4 * sim::kMs);
    EXPECT_EQ(received.size(), paused);
    sim::runFor(20 * sim::kMs);
    EXPECT_FALSE(sim::uart::hostStopped(0));
    EXPECT_GT(received.size(), paused + 100);
}

TEST_F(HostTransmitter, WithoutFlowControlTheHostIgnoresXoff) {
    start(pausingMain, false);
    sim::runFor(15 * sim::kMs);
    EXPECT_FALSE(sim::uart::hostStopped(0));
    EXPECT_NEAR(double(received.size()), 172.0, 2.0);
}

TEST_F(HostTransmitter, SwitchingFlowControlOffReleasesAStoppedHost) {
    start(pausingMain, true);
    sim::runFor(10 * sim::kMs);
    ASSERT_TRUE(sim::uart::hostStopped(0));
    size_t paused = received.size();
    sim::uart::setHostFlow(0, false);
    sim::runFor(2 * sim::kMs);
    EXPECT_FALSE(sim::uart::hostStopped(0));
    EXPECT_GT(received.size(), paused + 10);
}

// A scenario's host bytes and the front ends' transmitter are one host: the same XOFF holds
// both, the same XON releases both, and their bytes take turns on the one line.
TEST_F(HostTransmitter, ScenarioBytesShareTheLineAndItsFlowControl) {
    start(pausingMain, true);
    sim::runFor(15 * sim::kMs);
    ASSERT_TRUE(sim::uart::hostStopped(0));
    size_t paused = received.size();
    sim::uart::hostSend(0, "bb");
    sim::runFor(4 * sim::kMs);
    EXPECT_EQ(received.size(), paused);
    sim::runFor(20 * sim::kMs);
    EXPECT_NE(received.find("bb", paused), std::string::npos);
    // 39 ms at 115200 bit/s carry 450 bytes at most, whoever sends them.
    EXPECT_LE(received.size(), 450u);
    EXPECT_GT(received.size(), paused + 100);
}
