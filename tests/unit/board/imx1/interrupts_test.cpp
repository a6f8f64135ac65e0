// Interrupt dispatch through the firmware's handler table on the board's controller.
#include <csetjmp>

#include "devices/interrupt.h"
#include "imx1.h"
#include "imx1_test.h"
#include "memmap.h"
#include "regs.h"

namespace {
int calls[64];
void countUart0Rx() { calls[30]++; }
void countTick() { calls[59]++; }
}  // namespace

class InterruptTest : public Imx1Test {
protected:
    void SetUp() override {
        Imx1Test::SetUp();
        fake::mapSdram();
        for (int &c : calls) c = 0;
        interrupt_init();
    }
    // Runs the dispatcher as the IRQ entry does; true when it came back (no halt).
    bool dispatch() {
        std::jmp_buf halt;
        soc().haltJump = &halt;
        if (setjmp(halt)) {
            soc().haltJump = nullptr;
            return false;
        }
        irq_handler();
        soc().haltJump = nullptr;
        return true;
    }
};

TEST_F(InterruptTest, StartUpDisablesEverySourceUnmasksIrqsAndWritesTheMarker) {
    EXPECT_EQ(soc().writesTo(AITC_INTDISNUM).size(), 64u);
    EXPECT_FALSE(soc().irqMasked);
    EXPECT_EQ(*(volatile uint32_t *)sdramPtr(SDRAM_LAST_WORD), 0xAA5555AAu);
}

TEST_F(InterruptTest, ThePendingSourceSelectsItsHandler) {
    interrupt_set_isr(30, countUart0Rx);
    interrupt_set_isr(59, countTick);
    soc().pendingVector = 59;
    EXPECT_TRUE(dispatch());
    soc().pendingVector = 30;
    EXPECT_TRUE(dispatch());
    EXPECT_EQ(calls[59], 1);
    EXPECT_EQ(calls[30], 1);
}

TEST_F(InterruptTest, NothingPendingOrANumberOutsideTheTableCallsNothing) {
    interrupt_set_isr(30, countUart0Rx);
    for (uint32_t v : {0xFFFFu, 64u, 200u}) {
        soc().pendingVector = v;
        EXPECT_TRUE(dispatch()) << v;
    }
    EXPECT_EQ(calls[30], 0);
}

TEST_F(InterruptTest, ASourceWithoutAHandlerHaltsInDefaultIsr) {
    soc().pendingVector = 12;
    EXPECT_FALSE(dispatch());
    EXPECT_TRUE(soc().halted);
    ASSERT_NE(imx1HaltReason, nullptr);
    EXPECT_NE(std::string(imx1HaltReason).find("default_isr"), std::string::npos);
}

TEST_F(InterruptTest, EnableRoutesToIrqOrFiqAndIgnoresBadNumbers) {
    interrupt_enable(30, 0);
    EXPECT_EQ(soc().writesTo(AITC_INTENNUM), (std::vector<uint32_t>{30}));
    EXPECT_FALSE(soc().peek(AITC_INTTYPEL) & (1u << 30));
    interrupt_enable(40, 1);
    EXPECT_TRUE(soc().peek(AITC_INTTYPEH) & (1u << 8));
    EXPECT_TRUE(soc().peek(AITC_INTENABLEH) & (1u << 8));
    interrupt_disable(40);
    EXPECT_FALSE(soc().peek(AITC_INTENABLEH) & (1u << 8));
    size_t before = soc().log.size();
    interrupt_enable(64, 0);
    interrupt_enable(-1, 0);
    interrupt_disable(99);
    EXPECT_EQ(soc().log.size(), before);
}

TEST_F(InterruptTest, CriticalSectionsMaskIrqsAtTheProcessor) {
    __ARMLIB_disableIRQ();
    EXPECT_TRUE(soc().irqMasked);
    __ARMLIB_enableIRQ();
    EXPECT_FALSE(soc().irqMasked);
}
