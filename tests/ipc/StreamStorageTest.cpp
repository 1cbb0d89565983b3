#include <gtest/gtest.h>

#include "PipeDoubles.h"
#include "UByteOrder.h"
#include "UErrors.h"
#include "UMessageData.h"
#include "UStreamStorage.h"

using namespace qm;
using qm::test::Hex;

namespace {

// The request the dialog sends for a value, as the host receives it.
void WriteRequest(TStreamStorage& s, std::string_view command) {
    s.WriteString("COMMAND", command);
    s.WriteInteger("INDEX", -1);
    s.WriteString("DATA", "");
    s.WriteBoolean("SYNC", true);
}

// One entry built by hand: name length, UTF-16LE name, size, value bytes.
std::string Entry(std::string_view asciiName, std::string_view valueBytes) {
    std::string out;
    AppendLE(out, static_cast<std::int32_t>(asciiName.size() * 2));
    for (char c : asciiName) out += std::string{c, '\0'};
    AppendLE(out, static_cast<std::int64_t>(valueBytes.size()));
    out += valueBytes;
    return out;
}

std::string Utf16(std::string_view ascii) {
    std::string out;
    for (char c : ascii) out += std::string{c, '\0'};
    return out;
}

}  // namespace

TEST(StringHash, ElfHashOfKnownKeys) {
    EXPECT_EQ(TStringHash::Hash(""), 0u);
    EXPECT_EQ(TStringHash::Hash("a"), 0x61u);
    EXPECT_EQ(TStringHash::Hash("ab"), 0x672u);
    // Long enough for the top nibble to fold back in.
    EXPECT_EQ(TStringHash::Hash("printf"), 0x077905a6u);
    EXPECT_EQ(TStringHash::Hash("exit"), 0x0006cf04u);
}

TEST(StringHash, LaterItemHidesEarlierAndMissesAreMinusOne) {
    TStringHash h(kNameIndexBuckets);
    EXPECT_EQ(h.ValueOf("x"), -1);
    h.Add("x", 5);
    h.Add("X", 6);
    EXPECT_EQ(h.ValueOf("x"), 5);
    EXPECT_EQ(h.ValueOf("X"), 6);  // case-sensitive
    h.Add("x", 9);
    EXPECT_EQ(h.ValueOf("x"), 9);
    // Keys that share a bucket stay apart.
    TStringHash one(1);
    one.Add("a", 1);
    one.Add("b", 2);
    EXPECT_EQ(one.ValueOf("a"), 1);
    EXPECT_EQ(one.ValueOf("b"), 2);
}

TEST(StreamStorage, DbPathRequestIsExactly85Bytes) {
    TStreamStorage s;
    WriteRequest(s, "DBPATH");
    EXPECT_EQ(Hex(s.Bytes()),
              "0e 00 00 00 43 00 4f 00 4d 00 4d 00 41 00 4e 00 44 00 0c 00 00 00 00 00 00 00 44 00 42 00 50 00 41 "
              "00 54 00 48 00 0a 00 00 00 49 00 4e 00 44 00 45 00 58 00 04 00 00 00 00 00 00 00 ff ff ff ff 08 00 "
              "00 00 53 00 59 00 4e 00 43 00 01 00 00 00 00 00 00 00 01");
    EXPECT_EQ(s.Size(), 85);
    EXPECT_EQ(s.ScanMark(), 85);
}

TEST(StreamStorage, ServerProcessRequestIs99Bytes) {
    TStreamStorage s;
    WriteRequest(s, "SERVERPROCESS");
    EXPECT_EQ(s.Size(), 99);
    EXPECT_EQ(s.ReadString("COMMAND"), "SERVERPROCESS");
}

TEST(StreamStorage, EmptyNameOrValueWritesNothing) {
    TStreamStorage s;
    s.WriteString("", "x");
    s.WriteString("A", "");
    s.WriteInteger("", 1);
    s.WriteBoolean("", true);
    EXPECT_EQ(s.Size(), 0);
    s.WriteInteger("I", 0x01020304);
    s.WriteBoolean("B", false);
    EXPECT_EQ(Hex(s.Bytes()),
              "02 00 00 00 49 00 04 00 00 00 00 00 00 00 04 03 02 01 "
              "02 00 00 00 42 00 01 00 00 00 00 00 00 00 00");
}

TEST(StreamStorage, DuplicateNameRaisesAndKeepsFirstEntry) {
    TStreamStorage s;
    s.WriteString("Name", "first");
    const std::string before(s.Bytes());
    try {
        s.WriteString("Name", "second");
        FAIL() << "no exception";
    } catch (const EQuillmarkError& e) {
        EXPECT_STREQ(e.what(), "Value with name \"Name\" already exists");
    }
    EXPECT_THROW(s.WriteInteger("Name", 1), EQuillmarkError);
    EXPECT_EQ(s.Bytes(), before);
    EXPECT_EQ(s.ReadString("Name"), "first");
    s.WriteString("name", "other case");  // names are case-sensitive
    EXPECT_EQ(s.ReadString("name"), "other case");
}

TEST(StreamStorage, NonAsciiTextIsUtf16OnTheWire) {
    TStreamStorage s;
    s.WriteString("Straße", "Köln €");
    EXPECT_EQ(Hex(s.Bytes()),
              "0c 00 00 00 53 00 74 00 72 00 61 00 df 00 65 00 0c 00 00 00 00 00 00 00 "
              "4b 00 f6 00 6c 00 6e 00 20 00 ac 20");
    EXPECT_EQ(s.ReadString("Straße"), "Köln €");
    EXPECT_EQ(s.ReadString("STRASSE"), "");
}

TEST(StreamStorage, ScanIndexesPassedNamesAndLaterReadsUseTheIndex) {
    TStreamStorage s;
    s.Append(Entry("A", Utf16("1")) + Entry("B", Utf16("22")) + Entry("C", Utf16("333")));
    const std::int64_t end = s.Size();
    EXPECT_EQ(s.ScanMark(), 0);
    EXPECT_EQ(s.ReadString("C"), "333");
    EXPECT_EQ(s.ScanMark(), end);
    // A second "A" after the scanned part: a read served from the index
    // returns the first, a scan from the start would too, a scan from
    // ScanMark would find the new one.
    s.Append(Entry("A", Utf16("new")));
    EXPECT_EQ(s.ReadString("A"), "1");
    EXPECT_EQ(s.ScanMark(), end);
    EXPECT_EQ(s.ReadString("B"), "22");
}

TEST(StreamStorage, MissingNameScansToTheEndAndLeavesValuesReadable) {
    TStreamStorage s;
    s.Append(Entry("A", Utf16("x")) + Entry("B", Utf16("y")));
    EXPECT_EQ(s.ReadString("Z"), "");
    EXPECT_EQ(s.ScanMark(), s.Size());
    EXPECT_EQ(s.ReadString("B"), "y");
    EXPECT_EQ(s.ReadString("A"), "x");
}

TEST(StreamStorage, EmptyPayloadReadsEmpty) {
    TStreamStorage s;
    EXPECT_EQ(s.ReadString("DATA"), "");
    EXPECT_EQ(s.ScanMark(), 0);
}

TEST(StreamStorage, ValuesOfOtherKindsReadAsTheirBytes) {
    TStreamStorage s;
    s.Append(Entry("ODD", std::string("a\0b", 3)) + Entry("EMPTY", ""));
    EXPECT_EQ(s.ReadString("ODD"), "a");  // size / 2 characters
    EXPECT_EQ(s.ReadString("EMPTY"), "");
}

TEST(StreamStorage, MalformedEntryEndsTheScanThere) {
    const std::string good = Entry("A", Utf16("ok"));
    struct Case {
        const char* what;
        std::string bad;
    };
    std::string negativeSize;
    AppendLE(negativeSize, std::int32_t{2});
    negativeSize += Utf16("B");
    AppendLE(negativeSize, std::int64_t{-4});
    std::string oddName;
    AppendLE(oddName, std::int32_t{3});
    oddName += "B\0C";
    std::string negativeName;
    AppendLE(negativeName, std::int32_t{-2});
    std::string nameTooLong;
    AppendLE(nameTooLong, std::int32_t{200});
    nameTooLong += Utf16("B");
    std::string valueTooLong;
    AppendLE(valueTooLong, std::int32_t{2});
    valueTooLong += Utf16("B");
    AppendLE(valueTooLong, std::int64_t{1000});
    valueTooLong += Utf16("ab");
    const Case cases[] = {{"negative size", negativeSize},     {"odd name length", oddName},
                          {"negative name length", negativeName}, {"name past the end", nameTooLong},
                          {"value past the end", valueTooLong},   {"cut length field", "\x02\x00"},
                          {"cut size field", Entry("B", "").substr(0, 9)}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TStreamStorage s;
        s.Append(good + c.bad + Entry("C", Utf16("late")));
        EXPECT_EQ(s.ReadString("B"), "");
        EXPECT_EQ(s.ReadString("C"), "");  // behind the fault: not reached
        EXPECT_EQ(s.ReadString("A"), "ok");
        EXPECT_LE(s.ScanMark(), static_cast<std::int64_t>(good.size()));
    }
}

TEST(StreamStorage, RawStreamAccess) {
    TStreamStorage s;
    s.Append("abcdef");
    EXPECT_EQ(s.Position(), 6);
    s.SetPosition(-3);
    EXPECT_EQ(s.Position(), 0);
    char buf[4];
    EXPECT_EQ(s.Read(buf), 4u);
    EXPECT_EQ(std::string(buf, 4), "abcd");
    EXPECT_EQ(s.Read(buf), 2u);
    EXPECT_EQ(s.Read(buf), 0u);
    s.SetPosition(100);
    EXPECT_EQ(s.Position(), 6);
}

TEST(MessageData, NewMessageIsEmptyAndShared) {
    TMessageRef m = NewMessageData();
    EXPECT_EQ(m->ID(), "");
    EXPECT_EQ(m->Data().Size(), 0);
    m->SetID("REQ");
    m->Data().WriteString("DATA", "v");
    TMessageRef other = m;
    m.reset();
    EXPECT_EQ(other->ID(), "REQ");
    EXPECT_EQ(other->Data().ReadString("DATA"), "v");
    EXPECT_EQ(other.use_count(), 1);
}
