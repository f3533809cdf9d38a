#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ftp/AsciiLineEnds.h"

namespace {

enum Direction { kDownload, kUpload };

struct LineEndCase {
    Direction direction;
    std::string in;
    std::string out;
};

const LineEndCase kCases[] = {
    {kDownload, "", ""},
    {kDownload, "a\r\nb\r\n", "a\nb\n"},
    {kDownload, "\r\n\r\n", "\n\n"},
    {kDownload, "\nline", "\nline"}, // an LF at the start stays
    {kDownload, "a\rb", "a\rb"},     // a lone CR stays
    {kDownload, "end\r", "end\r"},   // so does one at the very end
    {kDownload, "\r\r\n", "\r\n"},   // CR CR LF: the first CR is lone
    {kDownload, "\r\r", "\r\r"},
    {kDownload, "\n\r\r\n\r", "\n\r\n\r"},
    {kUpload, "", ""},
    {kUpload, "\nline", "\r\nline"}, // an LF at the start
    {kUpload, "a\nb\n", "a\r\nb\r\n"},
    {kUpload, "a\r\nb\r\n", "a\r\nb\r\n"}, // no doubling
    {kUpload, "\n\n", "\r\n\r\n"},
    {kUpload, "a\rb\r", "a\rb\r"},
    {kUpload, "\r\r\n\n", "\r\r\n\r\n"},
};

std::string Convert(Direction direction, const std::vector<std::string>& blocks, TAsciiLineEnds& lineEnds)
{
    std::string all;
    std::string piece;
    for (const std::string& block : blocks) {
        if (direction == kDownload)
            lineEnds.FromWire(block.data(), block.size(), piece);
        else
            lineEnds.ToWire(block.data(), block.size(), piece);
        all += piece;
    }
    if (direction == kDownload) {
        lineEnds.Finish(piece);
        all += piece;
    }
    return all;
}

// The text cut once at every position (empty blocks at both ends included), and byte by byte.
std::vector<std::vector<std::string>> Splits(const std::string& text)
{
    std::vector<std::vector<std::string>> splits;
    for (size_t at = 0; at <= text.size(); ++at)
        splits.push_back({text.substr(0, at), text.substr(at)});
    std::vector<std::string> bytes;
    for (char c : text)
        bytes.emplace_back(1, c);
    splits.push_back(bytes);
    return splits;
}

TEST(AsciiLineEnds, ConvertsTheSameWhereverBlocksSplitTheText)
{
    for (const LineEndCase& c : kCases) {
        for (const std::vector<std::string>& blocks : Splits(c.in)) {
            SCOPED_TRACE((c.direction == kDownload ? "download " : "upload ") +
                         ::testing::PrintToString(blocks));
            TAsciiLineEnds lineEnds;
            EXPECT_EQ(Convert(c.direction, blocks, lineEnds), c.out);
            EXPECT_EQ(lineEnds.BytesIn(), static_cast<int64_t>(c.in.size()));
            EXPECT_EQ(lineEnds.BytesOut(), static_cast<int64_t>(c.out.size()));
        }
    }
}

} // namespace
