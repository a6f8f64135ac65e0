// The serial link's output rules, run inside the firmware on the simulated board: the
// 128-character cut, RS-485 framing and held-back notifications, binary reports, and the
// aux ring.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "board.h"
#include "comm/Rtosinit.h"
#include "devices/KT_timer.h"
#include "devices/interrupt.h"
#include "onboard.h"
#include "sim.h"
#include "storage/KT_eeprom.h"
#include "uart.h"

namespace {

// The settings of the next run.
std::function<void()> settingsOfNextRun;

// Runs `fn` inside the firmware started with the settings chosen before, stored in the
// EEPROM by an earlier session (both ports and RS-485 set up from them); returns what the
// host received on `port`.
std::string runInFirmware(const std::function<void()> &fn, int port = 0) {
    sim::mapSdram();
    onboard::configure(onboard::freshStateDir(), onboard::Bringup{});
    EXPECT_TRUE(onboard::run([] {
        settingsOfNextRun();
        KT_EEPROM_Save();
    }));
    onboard::powerOff();
    onboard::Bringup steps;
    steps.upTo = "mainport";
    onboard::configure("", steps);
    for (int p = 0; p < 2; ++p) sim::uart::hostReceived(p).clear();
    EXPECT_TRUE(onboard::run(fn, 2 * sim::kSec));
    sim::runFor(50 * sim::kMs);
    std::string got = onboard::hostText(port, false);
    onboard::powerOff();
    return got;
}

void plainSettings() {
    settingsOfNextRun = [] { memset(&eepromData, 0xFF, sizeof eepromData); };
}

void rs485Settings() {
    settingsOfNextRun = [] {
        memset(&eepromData, 0xFF, sizeof eepromData);
        eepromData.rs485Mode = 'Z';
        eepromData.rs485Sof = '$';
        eepromData.rs485Addr = 0x12;
    };
}

}  // namespace

TEST(TxString, SendsAtMost128Characters) {
    plainSettings();
    std::string long200(200, 'q');
    std::string got = runInFirmware([&] { txString(long200.c_str()); });
    EXPECT_EQ(got, std::string(128, 'q'));
}

TEST(TxString, Rs485PrefixAndHeldBackNotifications) {
    rs485Settings();
    std::string got = runInFirmware(
        [] {
            txNotify("x3\r");
            txNotify("r3\r");
            // Held back: nothing is on the wire yet.
            KT_Delay(20);
            if (!sim::uart::hostReceived(1).empty()) txString("LEAKED");
            txString(">\r");
        },
        1);
    EXPECT_EQ(got, "$FFx3\r$FFr3\r$FF>\r");
}

TEST(TxNotify, DropsANotificationThatNoLongerFits) {
    rs485Settings();
    std::string got = runInFirmware(
        [] {
            // 120 characters queued (prefix included), then 3 + 6 more would pass 128.
            txNotify(std::string(117, 'n').c_str());
            txNotify("abcde\r");
            txSavedBuf();
        },
        1);
    EXPECT_EQ(got, "$FF" + std::string(117, 'n'));
}

TEST(TxBinary, SendsExactlyTheBytesWithoutPrefix) {
    rs485Settings();
    std::string got = runInFirmware(
        [] {
            const u8 report[3] = {'S', 2, 0};
            txBinary(report, 3);
        },
        1);
    EXPECT_EQ(got, std::string("S\x02\x00", 3));
}

TEST(TxString, Port1DrivesTheBusUntilTheLastStopBit) {
    rs485Settings();
    int arrivedWhileDriven = 0;
    bool lowAfter = false;
    sim::uart::setHostSink(1, [&](uint8_t) { arrivedWhileDriven += sim::uart::rs485DriverOn(); });
    std::string got = runInFirmware([&] {
        txString("ABC");
        lowAfter = board_gpio_read(1, 29) == 0;
    }, 1);
    sim::uart::setHostSink(1, nullptr);
    EXPECT_EQ(got, "$FFABC");
    EXPECT_EQ(arrivedWhileDriven, 6);  // the driver stayed on through every stop bit
    EXPECT_TRUE(lowAfter);             // and was released once the transmitter finished
}

TEST(AuxRing, GetAuxRxTakesMaxMinusOne) {
    plainSettings();
    std::string taken;
    s32 left = -1;
    runInFirmware([&] {
        sim::uart::hostSend(1, std::string(129, 'k'));
        KT_Delay(50);
        char buf[128];
        getAuxRx(buf, 128);
        taken = buf;
        left = anyAuxRx();
    });
    EXPECT_EQ(taken, std::string(127, 'k'));
    EXPECT_EQ(left, 2);
}

// Leaving the download receive mode keeps what went wrong in it for the main loop to answer.
TEST(DownloadMode, OverflowAndReceiveErrorOutliveIt) {
    plainSettings();
    int afterOverflow = -1, afterError = -1, afterBoth = -1, then = -1;
    runInFirmware([&] {
        makeUartBinMain();
        bufferOverflow = 1;
        restoreUartBinMain();
        afterOverflow = isLineAvail();
        makeUartBinMain();
        rxError = UART_RX_FRMERR >> 8;
        restoreUartBinMain();
        afterError = isLineAvail();
        makeUartBinMain();
        bufferOverflow = 1;
        rxError = UART_RX_BRK >> 8;
        restoreUartBinMain();
        afterBoth = isLineAvail();  // the receive error first, and the ring emptied for both
        then = isLineAvail();
    });
    EXPECT_EQ(afterOverflow, LINE_OVERFLOW);
    EXPECT_EQ(afterError, LINE_RX_ERROR);
    EXPECT_EQ(afterBoth, LINE_RX_ERROR);
    EXPECT_EQ(then, LINE_OVERFLOW);
}
