// The web panel's way in: the queue from the server's threads to the board's, and the checks
// of what a browser sends.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "inputs.h"

namespace {

web::Input pen(web::InputKind k, int x = 0, int y = 0) {
    web::Input in;
    in.kind = k;
    in.x = x;
    in.y = y;
    return in;
}

web::Input line(const std::string &s) {
    web::Input in;
    in.kind = web::InputKind::Line;
    in.bytes = s;
    return in;
}

}  // namespace

TEST(WebInputs, InputsComeOutInTheOrderTheyWentIn) {
    web::InputQueue q(16, 1024);
    ASSERT_TRUE(q.push(line("a\r")));
    ASSERT_TRUE(q.push(pen(web::InputKind::PenDown, 5, 6)));
    ASSERT_TRUE(q.push(line("b\r")));
    ASSERT_TRUE(q.push(pen(web::InputKind::PenUp)));
    auto all = q.takeAll();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[0].bytes, "a\r");
    EXPECT_EQ(all[1].kind, web::InputKind::PenDown);
    EXPECT_EQ(all[1].x, 5);
    EXPECT_EQ(all[2].bytes, "b\r");
    EXPECT_EQ(all[3].kind, web::InputKind::PenUp);
    EXPECT_TRUE(q.takeAll().empty());
}

TEST(WebInputs, WaitingMovesCollapseToTheLatestButPressesAndReleasesNeverDo) {
    web::InputQueue q(16, 1024);
    q.push(pen(web::InputKind::PenDown, 1, 1));
    for (int i = 0; i < 100; ++i) ASSERT_TRUE(q.push(pen(web::InputKind::PenMove, 10 + i, 20)));
    q.push(pen(web::InputKind::PenUp));
    q.push(pen(web::InputKind::PenDown, 2, 2));
    q.push(pen(web::InputKind::PenUp));
    auto all = q.takeAll();
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(all[1].kind, web::InputKind::PenMove);
    EXPECT_EQ(all[1].x, 109);
    EXPECT_EQ(all[2].kind, web::InputKind::PenUp);
    EXPECT_EQ(all[3].kind, web::InputKind::PenDown);
    // A move behind something else is a new one: the line between keeps its place.
    q.push(pen(web::InputKind::PenMove, 1, 1));
    q.push(line("x\r"));
    q.push(pen(web::InputKind::PenMove, 2, 2));
    EXPECT_EQ(q.takeAll().size(), 3u);
}

TEST(WebInputs, AFullQueueRefusesUntilTheBoardHasTakenWhatWaits) {
    web::InputQueue q(3, 10);
    EXPECT_TRUE(q.push(line("12345")));
    EXPECT_FALSE(q.push(line("123456")));  // 11 bytes would wait
    EXPECT_TRUE(q.push(line("12345")));
    EXPECT_TRUE(q.push(pen(web::InputKind::PenUp)));
    EXPECT_FALSE(q.push(pen(web::InputKind::PenUp)));  // a fourth input
    EXPECT_EQ(q.size(), 3u);
    EXPECT_EQ(q.takeAll().size(), 3u);
    EXPECT_TRUE(q.push(line("1234567890")));
}

TEST(WebInputs, ManyServerThreadsAtOnceLoseNothingAndKeepEachThreadsOrder) {
    web::InputQueue q(100000, 1 << 20);
    constexpr int kThreads = 6, kEach = 2000;
    std::vector<std::thread> producers;
    for (int t = 0; t < kThreads; ++t)
        producers.emplace_back([&q, t] {
            for (int i = 0; i < kEach; ++i) {
                web::Input in = line(std::to_string(t) + ":" + std::to_string(i));
                in.port = t;
                while (!q.push(in)) std::this_thread::yield();
            }
        });
    std::vector<int> next(kThreads, 0);
    int seen = 0;
    bool ordered = true;
    while (seen < kThreads * kEach) {
        for (const web::Input &in : q.takeAll()) {
            int t = in.port;
            ordered = ordered && in.bytes == std::to_string(t) + ":" + std::to_string(next[t]);
            ++next[t];
            ++seen;
        }
    }
    for (auto &p : producers) p.join();
    EXPECT_TRUE(ordered);
    EXPECT_EQ(seen, kThreads * kEach);
    EXPECT_TRUE(q.takeAll().empty());
}

TEST(WebInputs, TouchesOffTheScreenAreRefusedWithTheReason) {
    std::string why;
    EXPECT_TRUE(web::validTouch(0, 0, why));
    EXPECT_TRUE(web::validTouch(639, 479, why));
    for (auto [x, y] : std::vector<std::pair<int, int>>{{-1, 0}, {640, 0}, {0, 480}, {0, -1}, {100000, 5}}) {
        why.clear();
        EXPECT_FALSE(web::validTouch(x, y, why)) << x << "," << y;
        EXPECT_NE(why.find("outside the 640 x 480 screen"), std::string::npos);
    }
}

TEST(WebInputs, ConsoleLinesEndInCrAndTakeTheCheckedFormOnRequest) {
    std::string out, why;
    ASSERT_TRUE(web::consoleLine("led on", false, out, why));
    EXPECT_EQ(out, "led on\r");
    // The worked examples of the wire protocol's documentation.
    ASSERT_TRUE(web::consoleLine("vers", true, out, why));
    EXPECT_EQ(out, "~E9B7vers\r");
    ASSERT_TRUE(web::consoleLine("l 0 0 639 479", true, out, why));
    EXPECT_EQ(out, "~4BA2l 0 0 639 479\r");
    EXPECT_EQ(web::crc16Modbus("123456789"), 0x4B37);
    ASSERT_TRUE(web::consoleLine("", false, out, why));  // an empty line is the module's to refuse
    EXPECT_EQ(out, "\r");
    EXPECT_FALSE(web::consoleLine("a\rb", false, out, why));
    EXPECT_FALSE(web::consoleLine("a\nb", false, out, why));
    EXPECT_FALSE(web::consoleLine(std::string("a\0b", 3), false, out, why));
    EXPECT_FALSE(web::consoleLine(std::string(1025, 'a'), false, out, why));
    EXPECT_TRUE(web::consoleLine(std::string(1024, 'a'), false, out, why));
}

TEST(WebInputs, TheListenAddressDefaultsToLoopbackAndBadOnesAreRefused) {
    std::string host, err;
    int port = 0;
    ASSERT_TRUE(web::parseListen("8640", host, port, err));
    EXPECT_EQ(host, "127.0.0.1");
    EXPECT_EQ(port, 8640);
    ASSERT_TRUE(web::parseListen("0.0.0.0:80", host, port, err));
    EXPECT_EQ(host, "0.0.0.0");
    EXPECT_EQ(port, 80);
    ASSERT_TRUE(web::parseListen("[::1]:65535", host, port, err));
    EXPECT_EQ(host, "::1");
    EXPECT_EQ(port, 65535);
    for (const char *bad : {"", "web", "0", "65536", "-1", "80x", ":80", "127.0.0.1:", "[]:80", "1.2.3.4:99999"}) {
        err.clear();
        EXPECT_FALSE(web::parseListen(bad, host, port, err)) << bad;
        EXPECT_NE(err.find("[ADDR:]PORT"), std::string::npos) << bad;
    }
}
