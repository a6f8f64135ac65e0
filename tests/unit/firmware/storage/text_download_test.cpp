// The text download ("xmp") with a host that does not wait for each prompt: lines sent ahead
// fill the receive ring, the module stops the host with XOFF and must let it go on with XON
// as it takes the lines, or the download waits for a line the stopped host never sends. A
// line longer than the ring ends the download as an overflow instead of waiting forever.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "loader.h"
#include "onboard.h"
#include "serialflash.h"
#include "sim.h"
#include "uart.h"

namespace {

bool hostSaw(const std::string &what) { return onboard::hostText(0, false).find(what) != std::string::npos; }

// The download's own answer: ">" after its last message (not a "p>" prompt), or "!".
bool downloadEnded() {
    std::string s = onboard::hostText(0, false);
    auto ends = [&s](const std::string &t) { return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0; };
    return (ends(">\r") && !ends("p>\r")) || ends("!\r");
}

TEST(TextDownload, LinesSentAheadArePacedByXonNotStuck) {
    std::string dir = onboard::freshStateDir();
    ASSERT_TRUE(onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir));
    // Verbose: every byte is echoed, so the module answers far slower than the host sends.
    ASSERT_TRUE(onboard::exchange(0, "xmp 0 0 1\r", "p>\r"));
    std::string lines;
    const int kLines = 12;  // 1.5 KiB: far more than the ring takes before it says XOFF
    for (int i = 0; i < kLines; ++i) lines += std::string(120, char('a' + i)) + "\r";
    sim::uart::setHostFlow(0, true);
    sim::uart::hostSend(0, lines + " Q\r");
    EXPECT_TRUE(sim::runFor(60 * sim::kSec, downloadEnded)) << onboard::hostText(0, false).substr(0, 300);
    EXPECT_FALSE(hostSaw("!\r"));
    std::string said = onboard::hostText(0);
    EXPECT_NE(said.find('\x13'), std::string::npos) << "the host was never stopped: the test proves nothing";
    EXPECT_NE(said.find('\x11'), std::string::npos);
    sim::uart::setHostFlow(0, false);
    onboard::powerOff();
    std::vector<uint8_t> flash = sim::serialflash::contents();
    for (int i = 0; i < kLines; ++i) ASSERT_EQ(flash[size_t(i) * 120 + 119], uint8_t('a' + i)) << i;
    EXPECT_EQ(flash[kLines * 120], 0xFF);
}

TEST(TextDownload, ALineLongerThanTheRingEndsTheDownload) {
    std::string dir = onboard::freshStateDir();
    ASSERT_TRUE(onboard::powerOnModule(VMOD_FIRMWARE_MODULE, dir));
    ASSERT_TRUE(onboard::exchange(0, "xmp 0 0 0\r", "p>\r"));
    sim::uart::hostSend(0, std::string(700, 'z'));  // no line end
    EXPECT_TRUE(sim::runFor(20 * sim::kSec, [] { return hostSaw("!\r"); })) << onboard::hostText(0, false);
    EXPECT_NE(onboard::hostText(0, false).find("\rInput buffer overflowed!\r"), std::string::npos);
    // The module is back at its prompt.
    EXPECT_TRUE(onboard::exchange(0, "\r*IERR\r", "#\r", 5 * sim::kSec)) << onboard::hostText(0, false);
    onboard::powerOff();
}

}  // namespace
