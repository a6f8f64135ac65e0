// The user documentation in docs/ against the firmware: the command reference names every
// entry of the dispatch chain exactly once and nothing else, the configuration file's page
// every key of the settings table, and the worked CRC examples of the wire protocol are what
// the firmware computes.
#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>

#include "app/crc16.h"
#include "command/dispatch.h"
#include "storage/settings.h"

namespace {

std::string readDoc(const char *name) {
    std::ifstream in(std::string(VMOD_DOCS_DIR) + "/" + name);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// A row of a reference table begins with the chain entry as a code span alone in the first
// cell: "| `mv %d %d` | ...". Entries may end in a blank ("ani "), so the span is taken as
// it stands. Returns how often each entry is documented.
std::map<std::string, int> documentedEntries(const std::string &doc) {
    std::map<std::string, int> found;
    std::istringstream lines(doc);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("| `", 0) != 0) continue;
        size_t close = line.find('`', 3);
        if (close == std::string::npos || line.compare(close, 3, "` |") != 0) continue;
        found[line.substr(3, close - 3)]++;
    }
    return found;
}

TEST(CommandReference, DocumentsEveryChainEntryOnce) {
    std::string doc = readDoc("commands.md");
    ASSERT_FALSE(doc.empty()) << "docs/commands.md is missing";
    std::map<std::string, int> documented = documentedEntries(doc);
    for (int i = 0; i < COMMAND_COUNT; ++i) {
        const char *word = commandChain[i].word;
        auto it = documented.find(word);
        EXPECT_TRUE(it != documented.end()) << "chain entry " << i + 1 << " \"" << word
                                            << "\" has no row in docs/commands.md";
        if (it != documented.end()) {
            EXPECT_EQ(it->second, 1) << "\"" << word << "\" is documented twice";
        }
    }
}

TEST(CommandReference, DocumentsNothingTheChainLacks) {
    std::map<std::string, int> documented = documentedEntries(readDoc("commands.md"));
    for (const auto &entry : documented) {
        bool inChain = false;
        for (int i = 0; i < COMMAND_COUNT && !inChain; ++i) inChain = entry.first == commandChain[i].word;
        EXPECT_TRUE(inChain) << "docs/commands.md documents \"" << entry.first << "\", which is no chain entry";
    }
}

TEST(ConfigReference, DocumentsEveryKeyOfTheSettingsTableAndNoOther) {
    std::string doc = readDoc("config.md");
    ASSERT_FALSE(doc.empty()) << "docs/config.md is missing";
    std::map<std::string, int> documented = documentedEntries(doc);
    for (int i = 0; i < settingsCount; ++i) {
        auto it = documented.find(settingsTable[i].key);
        EXPECT_TRUE(it != documented.end()) << "key \"" << settingsTable[i].key << "\" has no row in docs/config.md";
        if (it != documented.end()) documented.erase(it);
    }
    for (const auto &extra : documented)
        ADD_FAILURE() << "docs/config.md documents \"" << extra.first << "\", which is no key of the file";
}

// "| `vers` | 76 65 72 73 0D | 0xE9B7 | `~E9B7vers` CR |"
TEST(WireProtocol, WorkedCrcExamplesAreTheFirmwaresCrc) {
    std::string doc = readDoc("protocol.md");
    std::regex row(R"(\| `([^`]+)` \| ([0-9A-F ]+) \| 0x([0-9A-F]{4}) \| `~([0-9A-F]{4})([^`]+)` CR \|)");
    int examples = 0;
    for (std::sregex_iterator it(doc.begin(), doc.end(), row), end; it != end; ++it) {
        const std::smatch &m = *it;
        std::string body = m[1].str() + "\r";
        std::ostringstream bytes;
        for (size_t i = 0; i < body.size(); ++i) {
            char hex[4];
            std::snprintf(hex, sizeof hex, i ? " %02X" : "%02X", (unsigned char)body[i]);
            bytes << hex;
        }
        EXPECT_EQ(m[2].str(), bytes.str()) << "the bytes of \"" << m[1] << "\"";
        unsigned crc = CalcCRC(reinterpret_cast<const u8 *>(body.data()), int(body.size()));
        EXPECT_EQ(std::stoul(m[3].str(), nullptr, 16), crc) << m[1];
        EXPECT_EQ(m[4].str(), m[3].str()) << "the line of \"" << m[1] << "\" carries its CRC";
        EXPECT_EQ(m[5].str(), m[1].str());
        ++examples;
    }
    EXPECT_GE(examples, 3) << "the worked examples of docs/protocol.md were not found";
    // The recipe's check value.
    const char *check = "123456789";
    EXPECT_EQ(CalcCRC(reinterpret_cast<const u8 *>(check), 9), 0x4B37);
    EXPECT_NE(doc.find("0x4B37"), std::string::npos);
}

}  // namespace
