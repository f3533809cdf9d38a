#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "rtl/Exception.h"
#include "rtl/Streams.h"
#include "rtl/StringList.h"
#include "support/TempDir.h"

TEST(MemoryStream, WritesSeeksReadsAndGrows)
{
    TMemoryStream m;
    std::string block(100000, 'x');
    block[99999] = 'z';
    m.WriteBuffer(block.data(), 100000);
    m.WriteBuffer("tail", 4);
    EXPECT_EQ(m.Size(), 100004);
    EXPECT_EQ(m.Position(), 100004);
    m.SetPosition(99999);
    char buf[5];
    m.ReadBuffer(buf, 5);
    EXPECT_EQ(std::string(buf, 5), "ztail");
    EXPECT_EQ(m.Read(buf, 5), 0);
    EXPECT_THROW(m.ReadBuffer(buf, 1), EReadError);
    m.SetSize(10);
    EXPECT_EQ(m.Position(), 10);
    m.Clear();
    EXPECT_EQ(m.Size(), 0);
}

TEST(MemoryStream, WritePastEndLeavesNoGarbageGap)
{
    TMemoryStream m;
    m.SetSize(4);
    std::memset(m.Memory(), 0, 4);
    m.SetPosition(4);
    m.WriteBuffer("ab", 2);
    EXPECT_EQ(m.Size(), 6);
    EXPECT_EQ(std::string(m.Memory() + 4, 2), "ab");
}

TEST(StringStream, ReadsWritesAndClampsSeeks)
{
    TStringStream s("hello");
    EXPECT_EQ(s.ReadString(3), "hel");
    s.Seek(0, soEnd);
    s.WriteString(" world");
    EXPECT_EQ(s.DataString(), "hello world");
    EXPECT_EQ(s.Seek(100, soBeginning), 11);
    s.SetSize(4);
    EXPECT_EQ(s.DataString(), "hell");
}

TEST(FileStream, CreateWriteReopenAndErrorsNameTheFile)
{
    TempDir dir;
    const std::string path = dir.Path() + "/f.bin";
    {
        TFileStream f(path, fmCreate);
        f.WriteBuffer("0123456789", 10);
        f.SetSize(6);
    }
    TFileStream f(path, fmOpenRead | fmShareDenyNone);
    EXPECT_EQ(f.Size(), 6);
    char buf[6];
    f.ReadBuffer(buf, 6);
    EXPECT_EQ(std::string(buf, 6), "012345");
    try {
        TFileStream missing(dir.Path() + "/none/x", fmOpenRead);
        FAIL();
    } catch (const EFOpenError& e) {
        EXPECT_NE(e.Message().find("/none/x"), std::string::npos);
    }
    EXPECT_THROW(TFileStream(dir.Path() + "/none/x", fmCreate), EFCreateError);
}

TEST(StringList, SplitsEveryLineEndAndRoundTripsThroughFile)
{
    TStringList l;
    l.SetText("a\r\nb\nc\rd\r\n\r\ne");
    ASSERT_EQ(l.Count(), 6);
    EXPECT_EQ(l[2], "c");
    EXPECT_EQ(l[4], "");
    EXPECT_EQ(l[5], "e");
    l.Delete(4);
    l.Insert(0, "first");
    EXPECT_EQ(l.IndexOf("d"), 4);
    EXPECT_THROW(l.Delete(10), EListError);
    TempDir dir;
    l.SaveToFile(dir.Path() + "/l.txt");
    TStringList back;
    back.LoadFromFile(dir.Path() + "/l.txt");
    EXPECT_EQ(back.Items(), l.Items());
}
