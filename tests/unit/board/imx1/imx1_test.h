// Shared set-up of the i.MX1 driver tests: a fresh register space per test.
#ifndef VMOD_TESTS_IMX1_TEST_H
#define VMOD_TESTS_IMX1_TEST_H

#include <gtest/gtest.h>

#include "fake_soc.h"

class Imx1Test : public ::testing::Test {
protected:
    void SetUp() override { fake::reset(); }
    fake::Soc &soc() { return fake::soc(); }
    // Bit `pin` of a GPIO register of port 0..3.
    bool pinBit(int port, uint32_t offset, int pin) { return (soc().peek(0x0021C000u + 0x100u * port + offset) >> pin) & 1u; }
};

#endif
