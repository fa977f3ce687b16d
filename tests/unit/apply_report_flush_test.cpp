// Reports reach standard output in blocks: their lines end with a line feed, not a flush, and
// the end of a report flushes once. A report of millions of lines through a pipe otherwise
// makes a write call per line.
#include "apply/input_reader.h"

#include "apply_test_support.h"

#include <gtest/gtest.h>

#include <iostream>
#include <streambuf>
#include <string>

namespace velorin::tool::testing {

namespace {

// Takes the place of std::cout's buffer and counts how often the stream is flushed.
class FlushCounter : public std::streambuf {
  public:
    std::string text;
    int flushes = 0;

  protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof()) text += static_cast<char>(c);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        text.append(s, static_cast<size_t>(n));
        return n;
    }
    int sync() override {
        ++flushes;
        return 0;
    }
};

TEST(ReportOutput, AReportOfManyLinesIsFlushedOnceAtItsEnd) {
    const auto tool = apply_test::MakeTool();
    std::string file;
    for (int i = 0; i < 50; ++i) file += "+++Boot Mode\n*Legacy\n\n";
    const ConfigLines lines(file);
    FlushCounter counter;
    std::streambuf* const previous = std::cout.rdbuf(&counter);
    uint32_t differing = 0;
    int result = -1;
    tool_fixture::CaptureOutput([&] { result = tool->CheckConfigFile(lines, false, differing); });
    std::cout.rdbuf(previous);
    EXPECT_EQ(result, RC_SETTINGS_DIFFER);
    EXPECT_EQ(differing, 50u);
    std::string expected = "Differing Item\n";
    for (int i = 0; i < 50; ++i) expected += "\tBoot Mode : UEFI -> Legacy\n";
    expected +=
        "Total 50 Items\n\tItems matching : 0\n\tItems differing : 50\n"
        "\tItems not checked : 0\n";
    EXPECT_EQ(counter.text, expected);
    EXPECT_EQ(counter.flushes, 1);
}

}  // namespace

}  // namespace velorin::tool::testing
