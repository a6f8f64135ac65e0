// The serial host link: both UARTs, the command and aux receive rings, line assembly,
// XON/XOFF, binary command framing, RS-485 addressing, and every byte sent to the host.
#ifndef VMOD_RTOSINIT_H
#define VMOD_RTOSINIT_H

#include "../types.h"

#define RX_BUF_SIZE 512     // command-port receive ring
#define RX_XOFF_LEVEL 384   // above this many bytes the host is asked to pause
#define RX_XON_LEVEL 128    // at or below this the host may send again
#define AUX_RX_BUF_SIZE 129 // aux-port receive ring
#define TX_BUF_SIZE 129     // command-port transmit buffer: 128 characters and a NUL
#define TX_MAX_CHARS 128

#define XON 0x11
#define XOFF 0x13
#define ESC 0x1B

// Line-status codes of isLineAvail.
enum {
    LINE_NONE = 0,
    LINE_READY = 1,
    LINE_OVERFLOW = 2,
    LINE_BAD_BINARY = 3,
    LINE_RX_ERROR = 4
};

// ---- receive side (shared with the receive interrupts) ----
extern u8 rxBuf[RX_BUF_SIZE];
extern u8 *volatile rxHead;
extern u8 *volatile rxTail;
extern volatile s32 rxCount;
extern volatile s32 rxGotLine;
extern volatile u8 startCmd;
extern volatile u8 binaryMode;
extern volatile u8 binaryEnable;
extern volatile u8 binaryDisable;
extern volatile u8 xoff;
extern volatile u8 rxStopped;
extern volatile u8 bufferOverflow;
extern volatile u8 rxError;
extern volatile u8 mainIsUart0;
extern volatile u8 prevMain;
extern volatile u32 baudrate0;
extern volatile u32 baudrate1;
extern char rs485prefix[3];

extern u8 aRxBuf[AUX_RX_BUF_SIZE];
extern u8 *volatile aRxHead;
extern u8 *volatile aRxTail;
extern volatile s32 aRxCount;
extern volatile u8 auxEscCnt;

// ---- transmit side ----
extern char txBuf[TX_BUF_SIZE];
extern const char *volatile txPtr;
extern volatile u8 txBusy;
extern const char *volatile aTxPtr;
extern volatile u8 aTxBusy;
extern volatile u8 stringSent;
extern u8 binaryResponses;

// Port set-up and roles.
void KT_COM_Init0(void);
void KT_COM_Init1(void);
u32 KT_COM_BaudRate(u32 rate);
u32 KT_AUX_BaudRate(u32 rate);
void Init_485mode(void);
void makeUart0Main(void);
void makeUart1Main(void);
int rs485On(void);  // rs485Mode is 'Z'

// Receive primitives (main loop).
int isLineAvail(void);
void rxString(char *buf, int max);
void decRxGotLine(void);
void flushToCRorSOF(void);
u8 peekChar(void);
u8 waitChar(void);
int checkEscape(void);
// Whether any complete line in the ring, not only the next one, begins with ESC: a host
// that queued lines behind a wait can still end it.
int escapeLineWaiting(void);
void rxReset(void);
s32 anyAuxRx(void);
void getAuxRx(char *buf, int max);
void aFlushRx(void);

// Host output.
void txString(const char *s);
void txNotify(const char *s);
void txSavedBuf(void);
int anythingToTx(void);
void perr(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void pout(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
void txChar(char c);
void txBinary(const u8 *buf, u8 n);
void aTxString(const char *s);
void txWait0(void);
void txWait1(void);
void txWait(void);

// Binary download into the Data Flash: download receive mode and the transfer itself.
void makeUartBinMain(void);
void restoreUartBinMain(void);
int doEEPROMBinDownload(u32 addr, u32 len, u32 timeout);

// Interrupt handlers.
void KT_ISR_rx0_main(void);
void KT_ISR_rx1_main(void);
void KT_ISR_rx0_aux(void);
void KT_ISR_rx1_aux(void);
void KT_ISR_rx0_bin_main(void);
void KT_ISR_rx1_bin_main(void);
void KT_ISR_tx0_main(void);
void KT_ISR_tx1_main(void);
void KT_ISR_tx0_aux(void);
void KT_ISR_tx1_aux(void);

#endif
