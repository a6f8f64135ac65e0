// The serial host link: port set-up and roles, the receive interrupts, line assembly,
// RS-485 addressing, and all output to the host.
#include "Rtosinit.h"

#include <stdarg.h>
#include <stdio.h>
#include <string.h>

#include "../devices/KT_timer.h"
#include "../devices/interrupt.h"
#include "../storage/KT_eeprom.h"
#include "../storage/KT_extmem.h"
#include "../touch/KT_touch.h"
#include "../touch/buttons.h"
#include "board.h"

// GPIO pins of the two ports (port C 11/12 for port 0, port B 30/31 for port 1) and the
// RS-485 driver enable of port 1 (port B 29, high = drive the bus).
enum { GPIO_B = 1, GPIO_C = 2 };
#define RS485_DE_PIN 29

#define UART_DEFAULT_RATE 115200u
#define UART_MIN_RATE 1200u

// ---- receive side ----
u8 rxBuf[RX_BUF_SIZE];
u8 *volatile rxHead = rxBuf;
u8 *volatile rxTail = rxBuf;
volatile s32 rxCount;
volatile s32 rxGotLine;
volatile u8 startCmd = 1;
volatile u8 binaryMode;
volatile u8 binaryEnable = 1;
volatile u8 binaryDisable;
volatile u8 xoff;
volatile u8 rxStopped;
volatile u8 bufferOverflow;
volatile u8 rxError;
volatile u8 mainIsUart0 = 1;
volatile u8 prevMain;
volatile u32 baudrate0;
volatile u32 baudrate1;
char rs485prefix[3];

u8 aRxBuf[AUX_RX_BUF_SIZE];
u8 *volatile aRxHead = aRxBuf;
u8 *volatile aRxTail = aRxBuf;
volatile s32 aRxCount;
volatile u8 auxEscCnt;

// ---- transmit side ----
char txBuf[TX_BUF_SIZE];
const char *volatile txPtr;
volatile u8 txBusy;
const char *volatile aTxPtr;
volatile u8 aTxBusy;
volatile u8 stringSent;
u8 binaryResponses;

// The receive side asked for XOFF while a reply was going out: the command port's transmit
// interrupt sends it before the reply's next byte.
static volatile u8 xoffPending;

static char perrBuf[128];
static char poutBuf[128];
#define MESSAGE_MAX 126

// The physical port that currently has each role.
static int mainPortNo(void) { return mainIsUart0 ? 0 : 1; }
static int auxPortNo(void) { return mainIsUart0 ? 1 : 0; }

int rs485On(void) { return eepromData.rs485Mode == MODE_ON; }

// ---------------------------------------------------------------------------------------
// RS-485 driver enable of port 1.

static void Uart2SetRTS(void) { board_gpio_write(GPIO_B, RS485_DE_PIN, 1); }
static void Uart2ClrRTS(void) { board_gpio_write(GPIO_B, RS485_DE_PIN, 0); }

// ---------------------------------------------------------------------------------------
// Rates. The rate generator divides its 8.192 MHz reference by 16 and by the ratio of two
// registers; (rate/100 - 1) over 5119 gives the rate rounded down to a multiple of 100.

static void programRate(int port, u32 rate) {
    board_uart_set_ratio(port, rate / 100 - 1, 5119);
    if (port == 0)
        baudrate0 = rate;
    else
        baudrate1 = rate;
}

// The port changes first: saving the settings takes most of a second, and a host that
// switched after the prompt must not meet the old rate meanwhile. What was sent at the old
// rate leaves whole before (a configuration file's echo, a reply still in the shift register).
static u32 setRate(int port, u32 rate) {
    if (rate < UART_MIN_RATE) rate = UART_DEFAULT_RATE;
    if (port == 0)
        txWait0();
    else
        txWait1();
    programRate(port, rate);
    KT_save_baudrate_eeprom(port, rate);
    return rate;
}

u32 KT_COM_BaudRate(u32 rate) { return setRate(0, rate); }
u32 KT_AUX_BaudRate(u32 rate) { return setRate(1, rate); }

// At start the rate comes from the image when it is valid; nothing is stored, so a start
// never writes the EEPROM for the rates.
static u32 startRate(u8 index) {
    return KT_EEPROMvalid() ? KT_get_baudrate_eeprom(index) : UART_DEFAULT_RATE;
}

// ---------------------------------------------------------------------------------------
// Ring primitives of the main-loop side. Counters shared with the interrupt change only
// with IRQs masked.

static void ringEmpty(void) {
    rxHead = rxBuf;
    rxTail = rxBuf;
    rxCount = 0;
}

static u8 takeByte(void) {
    u8 *t = rxTail;
    u8 c = *t;
    ++t;
    if (t >= rxBuf + RX_BUF_SIZE) t = rxBuf;
    rxTail = t;
    __ARMLIB_disableIRQ();
    rxCount = rxCount - 1;
    __ARMLIB_enableIRQ();
    return c;
}

void decRxGotLine(void) {
    __ARMLIB_disableIRQ();
    if (rxGotLine > 0) rxGotLine = rxGotLine - 1;
    __ARMLIB_enableIRQ();
}

void rxReset(void) {
    interrupt_disable(IRQ_UART0_RX);
    interrupt_disable(IRQ_UART1_RX);
    ringEmpty();
    rxGotLine = 0;
    binaryMode = 0;
    interrupt_enable(IRQ_UART0_RX, 0);
    interrupt_enable(IRQ_UART1_RX, 0);
}

u8 peekChar(void) { return *rxTail; }

int checkEscape(void) {
    __ARMLIB_disableIRQ();
    s32 n = rxCount;
    const u8 *p = rxTail;
    __ARMLIB_enableIRQ();
    for (s32 i = 0; i + 1 < n; ++i) {
        const u8 *q = p + 1;
        if (q >= rxBuf + RX_BUF_SIZE) q = rxBuf;
        if (*p == ESC && *q == '\r') return 1;
        p = q;
    }
    return 0;
}

// The byte k places after p in the ring.
static u8 ringAt(const u8 *p, s32 k) {
    const u8 *q = p + k;
    if (q >= rxBuf + RX_BUF_SIZE) q -= RX_BUF_SIZE;
    return *q;
}

int escapeLineWaiting(void) {
    __ARMLIB_disableIRQ();
    s32 n = rxCount;
    s32 lines = rxGotLine;
    const u8 *p = rxTail;
    __ARMLIB_enableIRQ();
    s32 i = 0;
    for (; lines > 0 && i < n; --lines) {
        if (ringAt(p, i) == '\n' && i + 1 < n) ++i;  // the LF of a CR LF ending the line before
        u8 c = ringAt(p, i);
        if (c == ESC) return 1;
        if (c > 0x80 && binaryEnable) {
            i += 1 + (c - 0x80);  // a binary command: its data bytes may hold anything
            continue;
        }
        while (i < n && ringAt(p, i) != '\r') ++i;
        ++i;
    }
    return 0;
}

u8 waitChar(void) {
    while (rxCount == 0 && !checkEscape()) boardIdle();
    return takeByte();
}

s32 anyAuxRx(void) { return aRxCount; }

void getAuxRx(char *buf, int max) {
    int n = 0;
    while (aRxCount > 0 && n < max - 1) {
        u8 *t = aRxTail;
        buf[n++] = (char)*t;
        ++t;
        if (t >= aRxBuf + AUX_RX_BUF_SIZE) t = aRxBuf;
        aRxTail = t;
        __ARMLIB_disableIRQ();
        aRxCount = aRxCount - 1;
        __ARMLIB_enableIRQ();
    }
    if (max > 0) buf[n] = 0;
}

void aFlushRx(void) {
    __ARMLIB_disableIRQ();
    aRxHead = aRxBuf;
    aRxTail = aRxBuf;
    aRxCount = 0;
    __ARMLIB_enableIRQ();
}

// ---------------------------------------------------------------------------------------
// Receive interrupts.

static void store(u8 c) {
    u8 *h = rxHead;
    *h = c;
    ++h;
    if (h >= rxBuf + RX_BUF_SIZE) h = rxBuf;
    rxHead = h;
    rxCount = rxCount + 1;
}

// Asks the host to pause. An idle transmitter takes the XOFF at once; during an interrupt-driven
// reply the transmit interrupt puts it out right after the byte being sent, so that a host
// that heeds XOFF stops in time however long the reply is, and the reply's bytes stay as
// they are (an XOFF written into a busy transmitter would be lost or cut into the reply).
static void requestXoff(int port) {
    rxStopped = 1;
    if (txBusy)
        xoffPending = 1;
    else
        board_uart_write(port, XOFF);
}

// One byte for the command port, as received on physical port `port`.
static void rxMainByte(int port, u8 c) {
    if (c == XOFF) {
        xoff = 1;
        return;
    }
    if (c == XON) {
        xoff = 0;
        return;
    }
    if (rxCount > RX_XOFF_LEVEL && !rxStopped) requestXoff(port);
    if (rxCount >= RX_BUF_SIZE) {
        bufferOverflow = 1;
        return;
    }
    if (c > 0x80 && binaryMode == 0 && binaryEnable && startCmd) {
        binaryMode = c - 0x80;
        store(c);
        return;
    }
    if (binaryMode != 0) {
        store(c);
        binaryMode = binaryMode - 1;
        if (binaryMode == 0) {
            rxGotLine = rxGotLine + 1;
            startCmd = 1;
        }
        return;
    }
    store(c);
    if (c == '\r') {
        rxGotLine = rxGotLine + 1;
        startCmd = 1;
    } else {
        startCmd = 0;
    }
}

static void rxMain(int port) {
    while (board_uart_rx_ready(port)) rxMainByte(port, (u8)(board_uart_read(port) & 0xFF));
}

static void rxAux(int port) {
    while (board_uart_rx_ready(port)) {
        u8 c = (u8)(board_uart_read(port) & 0xFF);
        if (c == eepromData.auxEsc)
            auxEscCnt = auxEscCnt + 1;
        else
            auxEscCnt = 0;
        if (aRxCount < AUX_RX_BUF_SIZE) {
            u8 *h = aRxHead;
            *h = c;
            ++h;
            if (h >= aRxBuf + AUX_RX_BUF_SIZE) h = aRxBuf;
            aRxHead = h;
            aRxCount = aRxCount + 1;
        }
    }
}

void KT_ISR_rx0_main(void) { rxMain(0); }
void KT_ISR_rx1_main(void) { rxMain(1); }
void KT_ISR_rx0_aux(void) { rxAux(0); }
void KT_ISR_rx1_aux(void) { rxAux(1); }

// ---------------------------------------------------------------------------------------
// Transmit interrupts. Port 1 may drive an RS-485 bus: after the last byte it waits for
// the transmitter-complete interrupt before it releases the driver enable, so the line is
// freed only after the last stop bit.

static void txPort0(const char *volatile *ptr, volatile u8 *busy) {
    const char *p = *ptr;
    if (p && *p) {
        board_uart_write(0, (u8)*p);
        *ptr = p + 1;
    } else {
        board_uart_tx_ready_irq(0, 0);
        *busy = 0;
    }
}

static void txPort1(const char *volatile *ptr, volatile u8 *busy) {
    const char *p = *ptr;
    if (p && *p) {
        board_uart_write(1, (u8)*p);
        *ptr = p + 1;
        return;
    }
    if (!board_uart_tx_complete(1)) {
        // Nothing more to send: wait for the last stop bit without a storm of ready
        // interrupts.
        board_uart_tx_ready_irq(1, 0);
        board_uart_tx_complete_irq(1, 1);
        return;
    }
    board_uart_tx_ready_irq(1, 0);
    board_uart_tx_complete_irq(1, 0);
    *busy = 0;
    Uart2ClrRTS();
}

// A pending XOFF goes before the command port's next byte (the transmitter is free whenever
// its interrupt runs: ready, or complete on port 1).
static int sendPendingXoff(int port) {
    if (!xoffPending) return 0;
    xoffPending = 0;
    board_uart_write(port, XOFF);
    return 1;
}

void KT_ISR_tx0_main(void) {
    if (!sendPendingXoff(0)) txPort0(&txPtr, &txBusy);
}
void KT_ISR_tx0_aux(void) { txPort0(&aTxPtr, &aTxBusy); }
void KT_ISR_tx1_main(void) {
    if (!sendPendingXoff(1)) txPort1(&txPtr, &txBusy);
}
void KT_ISR_tx1_aux(void) { txPort1(&aTxPtr, &aTxBusy); }

// ---------------------------------------------------------------------------------------
// Port set-up and roles.

static void disableUartIrqs(void) {
    interrupt_disable(IRQ_UART0_RX);
    interrupt_disable(IRQ_UART0_TX);
    interrupt_disable(IRQ_UART1_RX);
    interrupt_disable(IRQ_UART1_TX);
}

static void enableUartIrqs(void) {
    interrupt_enable(IRQ_UART0_RX, 0);
    interrupt_enable(IRQ_UART0_TX, 0);
    interrupt_enable(IRQ_UART1_RX, 0);
    interrupt_enable(IRQ_UART1_TX, 0);
}

// Installs the command handlers on physical port `mainPort` and the aux handlers on the
// other, with the four UART interrupts disabled meanwhile. Rings stay as they are.
static void assignRoles(int mainPort) {
    static const isr_t rxMainIsr[2] = {KT_ISR_rx0_main, KT_ISR_rx1_main};
    static const isr_t txMainIsr[2] = {KT_ISR_tx0_main, KT_ISR_tx1_main};
    static const isr_t rxAuxIsr[2] = {KT_ISR_rx0_aux, KT_ISR_rx1_aux};
    static const isr_t txAuxIsr[2] = {KT_ISR_tx0_aux, KT_ISR_tx1_aux};
    static const int rxIrq[2] = {IRQ_UART0_RX, IRQ_UART1_RX};
    static const int txIrq[2] = {IRQ_UART0_TX, IRQ_UART1_TX};
    int auxPort = 1 - mainPort;
    disableUartIrqs();
    prevMain = mainIsUart0 ? 0 : 1;
    mainIsUart0 = mainPort == 0;
    interrupt_set_isr(rxIrq[mainPort], rxMainIsr[mainPort]);
    interrupt_set_isr(txIrq[mainPort], txMainIsr[mainPort]);
    interrupt_set_isr(rxIrq[auxPort], rxAuxIsr[auxPort]);
    interrupt_set_isr(txIrq[auxPort], txAuxIsr[auxPort]);
    enableUartIrqs();
}

void makeUart0Main(void) { assignRoles(0); }
void makeUart1Main(void) { assignRoles(1); }

void KT_COM_Init0(void) {
    txBusy = 0;
    xoffPending = 0;
    rxCount = 0;
    rxGotLine = 0;
    rxStopped = 0;
    binaryMode = 0;
    bufferOverflow = 0;
    rxError = 0;
    txBuf[0] = 0;
    board_gpio_peripheral(GPIO_C, 11);
    board_gpio_peripheral(GPIO_C, 12);
    board_uart_enable(0);
    mainIsUart0 = 1;
    ringEmpty();
    programRate(0, startRate(eepromData.baud0));
    makeUart0Main();
}

void KT_COM_Init1(void) {
    aTxBusy = 0;
    board_gpio_peripheral(GPIO_B, 30);
    board_gpio_peripheral(GPIO_B, 31);
    board_gpio_output(GPIO_B, RS485_DE_PIN, 0);
    board_uart_enable(1);
    aFlushRx();
    programRate(1, startRate(eepromData.baud1));
    interrupt_set_isr(IRQ_UART1_RX, KT_ISR_rx1_aux);
    interrupt_set_isr(IRQ_UART1_TX, KT_ISR_tx1_aux);
    interrupt_enable(IRQ_UART1_RX, 0);
    interrupt_enable(IRQ_UART1_TX, 0);
}

void Init_485mode(void) {
    if (rs485On()) {
        rxStopped = 1;  // no flow control characters on a bus
        rs485prefix[0] = (char)eepromData.rs485Sof;
        rs485prefix[1] = 'F';
        rs485prefix[2] = 'F';
        mainIsUart0 = 0;
        makeUart1Main();
    } else {
        rxStopped = 0;
    }
}

// ---------------------------------------------------------------------------------------
// Line input.

void flushToCRorSOF(void) {
    if (rxCount == 0) {
        decRxGotLine();
        return;
    }
    while (rxCount > 0) {
        if (peekChar() == eepromData.rs485Sof) return;
        if (takeByte() == '\r') {
            decRxGotLine();
            return;
        }
    }
}

static int hexNibble(u8 c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0xFF;
}

// RS-485: find our frame; returns the line status.
static int rs485Frame(void) {
    const u8 sof = eepromData.rs485Sof;
    const u8 addr = eepromData.rs485Addr;
    for (;;) {
        if (rxCount == 0) break;
        if (takeByte() == sof) break;
    }
    if (rxCount <= 2) {
        flushToCRorSOF();
        return LINE_NONE;
    }
    if (peekChar() == '?') {
        takeByte();
        u8 d = takeByte();
        if (hexNibble(d) == (addr >> 4)) {
            u32 rate = baudrate0 ? baudrate0 : UART_DEFAULT_RATE;
            KT_Delay((UART_DEFAULT_RATE / rate) * (addr & 0x0F));
            char answer[24];
            snprintf(answer, sizeof answer, "SOF%02XADR%02X\r", sof, addr);
            txString(answer);
        }
        flushToCRorSOF();
        return LINE_NONE;
    }
    if (hexNibble(takeByte()) != (addr >> 4)) {
        flushToCRorSOF();
        return LINE_NONE;
    }
    if (rxCount == 0 || hexNibble(takeByte()) != (addr & 0x0F)) {
        flushToCRorSOF();
        return LINE_NONE;
    }
    return LINE_READY;
}

int isLineAvail(void) {
    if (auxEscCnt == 3) {
        auxEscCnt = 0;
        if (mainIsUart0) {
            makeUart1Main();
        } else {
            eepromData.rs485Mode = 0;
            makeUart0Main();
        }
    }
    if (rxError) {
        rxError = 0;
        rxReset();
        xoff = 0;
        return LINE_RX_ERROR;
    }
    if (bufferOverflow) {
        bufferOverflow = 0;
        rxReset();
        xoff = 0;
        return LINE_OVERFLOW;
    }
    if (rxGotLine == 0) {
        if (binaryMode > 2) {
            rxReset();
            return LINE_BAD_BINARY;
        }
        return LINE_NONE;
    }
    if (!rs485On()) {
        if (rxStopped && rxCount <= RX_XON_LEVEL) {
            txChar(XON);
            rxStopped = 0;
        }
        return LINE_READY;
    }
    return rs485Frame();
}

static void lineError(char *buf, const char *word, int max) {
    rxReset();
    if (max >= 5) strcpy(buf, word);
}

void rxString(char *buf, int max) {
    buf[0] = 0;
    if (rxCount == 0) {
        lineError(buf, "*IERR", max);
        return;
    }
    u8 c = takeByte();
    if (c > 0x80 && binaryEnable) {
        int n = c - 0x80;
        buf[0] = (char)c;
        if (max <= n || rxCount < n) {
            lineError(buf, "*SERR", max);
            return;
        }
        for (int i = 1; i <= n; ++i) buf[i] = (char)takeByte();
        buf[n + 1] = 0;
        decRxGotLine();
        return;
    }
    if (c == '\n') {
        if (rxCount == 0) return;
        c = takeByte();
    }
    int w = 0;
    for (;;) {
        if (c == '\b') {
            if (w > 0) --w;
        } else {
            buf[w++] = (char)c;
            if (c == '\r') {
                buf[w] = 0;
                decRxGotLine();
                return;
            }
            if (w >= max) break;
        }
        if (rxCount == 0) break;
        c = takeByte();
    }
    lineError(buf, "*SERR", max);
}

// ---------------------------------------------------------------------------------------
// Output.

static void driverOnForCommandPort(void) {
    if (!mainIsUart0) Uart2SetRTS();
}

// Starts an interrupt-driven transmission of `s` on the command port and waits for it.
static void sendMain(const char *s) {
    __ARMLIB_disableIRQ();
    txBusy = 1;
    txPtr = s;
    board_uart_tx_ready_irq(mainPortNo(), 1);
    __ARMLIB_enableIRQ();
    while (txBusy) boardIdle();
}

// The host may pause output with XOFF; after 100 ms it is ignored.
static void waitForXon(void) {
    for (int step = 0; xoff && step < 20; ++step) KT_Delay(5);
    xoff = 0;
}

void txString(const char *s) {
    waitForXon();
    driverOnForCommandPort();
    if (!rs485On()) {
        strncpy(txBuf, s, TX_MAX_CHARS);
        txBuf[TX_MAX_CHARS] = 0;
    } else {
        if (anythingToTx()) txSavedBuf();
        driverOnForCommandPort();
        memcpy(txBuf, rs485prefix, 3);
        strncpy(txBuf + 3, s, TX_MAX_CHARS - 3);
        txBuf[TX_MAX_CHARS] = 0;
    }
    sendMain(txBuf);
    txBuf[0] = 0;
    stringSent = stringSent + 1;
}

void txNotify(const char *s) {
    if (!rs485On()) {
        txString(s);
        return;
    }
    size_t have = 0;
    while (have < TX_MAX_CHARS && txBuf[have]) ++have;
    size_t add = strlen(s);
    if (have + 3 + add > TX_MAX_CHARS) return;  // no room: dropped
    memcpy(txBuf + have, rs485prefix, 3);
    memcpy(txBuf + have + 3, s, add + 1);
}

void txSavedBuf(void) {
    driverOnForCommandPort();
    txBuf[TX_MAX_CHARS] = 0;
    sendMain(txBuf);
    txBuf[0] = 0;
    stringSent = stringSent + 1;
}

int anythingToTx(void) { return txBuf[0] != 0; }

void perr(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(perrBuf, MESSAGE_MAX + 1, fmt, ap);
    va_end(ap);
    txString(perrBuf);
}

void pout(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(poutBuf, MESSAGE_MAX + 1, fmt, ap);
    va_end(ap);
    txNotify(poutBuf);
}

// A single character goes out through a buffer of its own, so that RS-485 notifications
// held back in txBuf survive it.
void txChar(char c) {
    static char one[2];
    one[0] = c;
    one[1] = 0;
    driverOnForCommandPort();
    if (c == 0) return;
    sendMain(one);
}

void txBinary(const u8 *buf, u8 n) {
    waitForXon();
    if (n > 129) {
        txString(":internal error txBinary()\r");
        return;
    }
    int port = mainPortNo();
    if (port == 1) Uart2SetRTS();
    while (!board_uart_tx_complete(port)) boardIdle();
    for (int i = 0; i < n; ++i) {
        board_uart_write(port, buf[i]);
        while (!board_uart_tx_complete(port)) boardIdle();
    }
    if (port == 1) Uart2ClrRTS();
    stringSent = stringSent + 1;
}

void aTxString(const char *s) {
    int port = auxPortNo();
    if (port == 1) Uart2SetRTS();
    __ARMLIB_disableIRQ();
    aTxBusy = 1;
    aTxPtr = s;
    board_uart_tx_ready_irq(port, 1);
    __ARMLIB_enableIRQ();
    while (aTxBusy) boardIdle();
}

void txWait0(void) {
    while (!board_uart_tx_complete(0)) boardIdle();
}

void txWait1(void) {
    while (!board_uart_tx_complete(1)) boardIdle();
}

void txWait(void) {
    if (mainIsUart0)
        txWait0();
    else
        txWait1();
}

// ---------------------------------------------------------------------------------------
// Binary download. The receive handler stores every byte raw: no XON/XOFF, no CR, no line
// counting; it still asks the host to pause when the ring runs full.

#define BIN_BLOCK 128  // bytes programmed at a time; the ring holds four blocks

static void rxBinWord(int port, u32 w) {
    if (w & UART_RX_ERR) {
        rxError = (u8)(w >> 8);
        board_uart_rx_reset(port);
    }
    if (rxCount > RX_XOFF_LEVEL && !rxStopped) requestXoff(port);
    if (rxCount >= RX_BUF_SIZE) {
        bufferOverflow = 1;
        return;
    }
    store((u8)(w & 0xFF));
}

static void rxBin(int port) {
    while (board_uart_rx_ready(port)) rxBinWord(port, board_uart_read(port));
}

void KT_ISR_rx0_bin_main(void) { rxBin(0); }
void KT_ISR_rx1_bin_main(void) { rxBin(1); }

static void emptyRing(void) {
    ringEmpty();
    rxGotLine = 0;
    binaryMode = 0;
    startCmd = 1;
}

void makeUartBinMain(void) {
    __ARMLIB_disableIRQ();
    if (mainIsUart0)
        interrupt_set_isr(IRQ_UART0_RX, KT_ISR_rx0_bin_main);
    else
        interrupt_set_isr(IRQ_UART1_RX, KT_ISR_rx1_bin_main);
    emptyRing();
    __ARMLIB_enableIRQ();
}

// An overflow or a receive error of the download stays flagged: the main loop's next poll
// answers it ("^", "?") after the download's own reply, so the host can tell it from a time-out.
void restoreUartBinMain(void) {
    __ARMLIB_disableIRQ();
    if (mainIsUart0)
        interrupt_set_isr(IRQ_UART0_RX, KT_ISR_rx0_main);
    else
        interrupt_set_isr(IRQ_UART1_RX, KT_ISR_rx1_main);
    emptyRing();
    __ARMLIB_enableIRQ();
}

int doEEPROMBinDownload(u32 addr, u32 len, u32 timeout) {
    makeUartBinMain();
    bufferOverflow = 0;
    rxError = 0;
    txChar('>');
    txChar('\r');
    gpTimer = timeout;
    int ok = 0;
    for (;;) {
        // XON once per pass while there is room for a block: the host's pace.
        if (rxCount <= RX_XON_LEVEL) {
            txChar(XON);
            if (!rs485On()) rxStopped = 0;
        }
        u32 block = len < BIN_BLOCK ? len : BIN_BLOCK;
        if (len > 0 && (u32)rxCount >= block) {
            gpTimer = timeout;
            // Blocks start at multiples of 128 in a ring of four blocks: never wrapped.
            if (KT_ExtMem_DownloadWrite(addr, rxTail, block) != 0) break;
            u8 *t = rxTail + block;
            if (t >= rxBuf + RX_BUF_SIZE) t = rxBuf;
            rxTail = t;
            __ARMLIB_disableIRQ();
            rxCount = rxCount - (s32)block;
            __ARMLIB_enableIRQ();
            len -= block;
            addr += block;
            if (bufferOverflow) break;
        }
        if (bufferOverflow || gpTimer == 0 || rxError) break;
        // Buttons stay alive during a long download.
        int pressed = 0, tx, ty;
        KT_Touch_Get_State(&pressed, &tx, &ty);
        if (pressed) handle_touch();
        if (len == 0) {
            ok = KT_ExtMem_DownloadEnd() == 0;  // the held header, now that the data is in
            break;
        }
        boardIdle();
    }
    restoreUartBinMain();
    return ok;
}
