#include "app/command_line.h"
#include "app/command_table.h"
#include "report/text_conversion.h"
#include "tool_fixture.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace velorin::tool::testing {

namespace {

bool IsOneBit(uint32_t flag) { return flag != 0 && (flag & (flag - 1)) == 0; }

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return text;
}

// Every word is spelled once in any letter case, and every bit belongs to one word: a command
// one of the low 16 bits, an option one from bit 16 up (/pw and /pwstdin share theirs).
TEST(AppCommandTable, EachWordAndCommandBitIsOnlyOnce) {
    std::set<std::string> words;
    size_t spellings = 0;
    uint32_t commandBits = 0;
    for (const CommandRow& row : CommandRows()) {
        for (const char* spelling : row.spellings) {
            if (spelling == nullptr) continue;
            ++spellings;
            words.insert(LowerAscii(spelling));
        }
        EXPECT_TRUE(IsOneBit(row.flag) && row.flag < (1u << 16)) << row.spellings[0];
        EXPECT_EQ(commandBits & row.flag, 0u) << row.spellings[0];
        EXPECT_NE(row.run, nullptr) << row.spellings[0];
        commandBits |= row.flag;
    }
    for (const OptionRow& row : OptionRows()) {
        ++spellings;
        words.insert(LowerAscii(row.spelling));
        EXPECT_TRUE(IsOneBit(row.flag) && row.flag >= (1u << 16)) << row.spelling;
    }
    EXPECT_EQ(words.size(), spellings);
}

// Each spelling of a command, as written and in capitals, parses to its own row, whether the
// line then stands or lacks what the command needs.
TEST(AppCommandTable, EverySpellingParsesToItsRow) {
    for (const CommandRow& row : CommandRows()) {
        for (const char* spelling : row.spellings) {
            if (spelling == nullptr) continue;
            for (std::string word : {std::string(spelling), Upper(spelling)}) {
                std::vector<char*> argv = {const_cast<char*>("tool"), word.data(), nullptr};
                CommandOptions options;
                tool_fixture::CaptureOutput([&] { ParseCommandLine(2, argv.data(), options); });
                EXPECT_EQ(options.command, &row) << word;
                EXPECT_EQ(options.flags & 0xFFFFu, row.flag) << word;
            }
        }
    }
}

}  // namespace

}  // namespace velorin::tool::testing
