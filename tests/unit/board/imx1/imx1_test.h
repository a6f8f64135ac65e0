// Shared set-up of the i.MX1 driver tests: a fresh register space per test.
#ifndef VMOD_TESTS_IMX1_TEST_H
#define VMOD_TESTS_IMX1_TEST_H

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "comm/Rtosinit.h"
#include "devices/interrupt.h"
#include "fake_soc.h"
#include "storage/KT_eeprom.h"

class Imx1Test : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    fake::Soc &soc() { return fake::soc(); }
    // Bit `pin` of a GPIO register of port 0..3.
    bool pinBit(int port, uint32_t offset, int pin) { return (soc().peek(0x0021C000u + 0x100u * port + offset) >> pin) & 1u; }
    // The interrupt controller and both serial ports as the firmware starts them, without
    // valid settings (115200 on both ports): replies then reach soc().uartTx[0].
    void startSerialPorts() {
        fake::mapSdram();
        memset(&eepromData, 0, sizeof eepromData);
        interrupt_init();
        KT_COM_Init0();
        KT_COM_Init1();
    }
    std::string sentOnPort0() { return std::string(soc().uartTx[0].begin(), soc().uartTx[0].end()); }
};

#endif
