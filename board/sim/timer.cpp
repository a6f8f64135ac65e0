// Timer 1: a compare interrupt every period, level-held until acknowledged.
#include "board.h"
#include "sim.h"
#include "snapshot.h"

namespace {

using namespace sim;

struct Timer1 : Device {
    Time period = 0;
    bool status = false;
    EventId next = 0;

    Timer1() {
        registerDevice(this);
        keepInSnapshots(*this);
    }
    void powerOn() override { stop(); }
    void powerOff() override { stop(); }
    void stop() {
        period = 0;
        status = false;
        next = 0;
    }
    void fire() {
        status = true;
        irqRaise(IRQ_TIMER1, true);
        next = schedule(now() + period, [this] { fire(); });
    }
} timer1;

}  // namespace

extern "C" void board_timer1_start(uint32_t periodClocks) {
    if (timer1.next) sim::cancel(timer1.next);
    timer1.period = uint64_t(periodClocks ? periodClocks : 1) * sim::kSec / BOARD_TIMER_CLOCK_HZ;
    timer1.next = sim::schedule(sim::now() + timer1.period, [] { timer1.fire(); });
}

extern "C" void board_timer1_ack(void) {
    timer1.status = false;
    sim::irqRaise(IRQ_TIMER1, false);
}
