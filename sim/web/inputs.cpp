#include "inputs.h"

#include <cstdio>
#include <cstdlib>

#include "updates.h"

namespace web {

bool InputQueue::push(Input in) {
    std::lock_guard<std::mutex> lock(m_);
    if (in.kind == InputKind::PenMove && !q_.empty() && q_.back().kind == InputKind::PenMove) {
        q_.back() = in;
        return true;
    }
    if (q_.size() >= maxItems_ || bytes_ + in.bytes.size() > maxBytes_) return false;
    bytes_ += in.bytes.size();
    q_.push_back(std::move(in));
    return true;
}

std::vector<Input> InputQueue::takeAll() {
    std::lock_guard<std::mutex> lock(m_);
    std::vector<Input> out(std::make_move_iterator(q_.begin()), std::make_move_iterator(q_.end()));
    q_.clear();
    bytes_ = 0;
    return out;
}

size_t InputQueue::size() const {
    std::lock_guard<std::mutex> lock(m_);
    return q_.size();
}

bool validTouch(int x, int y, std::string &why) {
    if (x >= 0 && x < kWidth && y >= 0 && y < kHeight) return true;
    why = "touch at " + std::to_string(x) + "," + std::to_string(y) + " is outside the 640 x 480 screen";
    return false;
}

uint16_t crc16Modbus(const std::string &bytes) {
    uint16_t crc = 0xFFFF;
    for (unsigned char c : bytes) {
        crc ^= c;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? uint16_t((crc >> 1) ^ 0xA001) : uint16_t(crc >> 1);
    }
    return crc;
}

bool consoleLine(const std::string &text, bool crc, std::string &line, std::string &why) {
    if (text.size() > 1024) {
        why = "a console line holds at most 1024 bytes";
        return false;
    }
    if (text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos) {
        why = "a console line holds no CR, LF or NUL (the console ends it with CR)";
        return false;
    }
    line = text + "\r";
    if (crc) {
        char head[6];
        std::snprintf(head, sizeof head, "~%04X", crc16Modbus(line));
        line = head + line;
    }
    return true;
}

bool parseListen(const std::string &text, std::string &host, int &port, std::string &error) {
    std::string h = "127.0.0.1", p = text;
    size_t colon = text.rfind(':');
    if (colon != std::string::npos) {
        h = text.substr(0, colon);
        p = text.substr(colon + 1);
        if (h.size() > 2 && h.front() == '[' && h.back() == ']') h = h.substr(1, h.size() - 2);
    }
    char *end = nullptr;
    long v = p.empty() ? 0 : std::strtol(p.c_str(), &end, 10);
    if (h.empty() || h.find_first_of("[]") != std::string::npos || p.empty() || *end || v <= 0 || v > 65535) {
        error = "--web takes [ADDR:]PORT (a port 1..65535), not \"" + text + "\"";
        return false;
    }
    host = h;
    port = int(v);
    return true;
}

}  // namespace web
