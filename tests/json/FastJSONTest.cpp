// The JSON document: parsing, navigation, messages, the written forms, and
// loading and saving files.
#include "UFastJSON.h"

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <clocale>
#include <locale>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "JsonTestSupport.h"

namespace qm {
namespace {

using test::ReadBytes;
using test::TScratchFolder;
using test::WriteBytes;

std::string Compact(const TJsonBase& node) {
    std::string out;
    node.WriteToStream(out, nullptr);
    return out;
}

std::string FileForm(const TJsonBase& node) {
    TJSONFormatter f("\r\n", 2);
    std::string out;
    node.WriteToStream(out, &f);
    return out;
}

template <class F>
std::string JsonErrorOf(F&& action) {
    return test::MessageOf<EJsonError>(action);
}

TFastJSON Parsed(std::string_view text) {
    TFastJSON doc;
    doc.Parse(text);
    return doc;
}

// ---- Parsing ----------------------------------------------------------------

TEST(FastJSONParseTest, EmptyObjectAndArray) {
    TFastJSON doc;
    doc.Parse(" {} ");
    EXPECT_EQ(doc.RootKind(), TJsonStructType::jsObject);
    EXPECT_EQ(doc.RootObject()->Count(), 0);
    doc.Parse("[]");
    EXPECT_EQ(doc.RootKind(), TJsonStructType::jsArray);
    EXPECT_EQ(doc.RootArray()->Count(), 0);
    EXPECT_EQ(doc.RootObject(), nullptr);
}

TEST(FastJSONParseTest, TrailingCommaIsDroppedLeadingCommaIsAnError) {
    TFastJSON doc;
    doc.Parse("[1,]");
    ASSERT_EQ(doc.RootArray()->Count(), 1);
    EXPECT_EQ(doc.RootArray()->ItemAt(0).AsNumber(), 1);
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse("[,1]"); }), R"(<TJsonValue>"" parse error:  ..)");
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse("{,}"); }), R"(<TJsonPair>"" parse error:  ..)");
}

TEST(FastJSONParseTest, RepeatedNamesStayAndLookUpFindsTheFirstIgnoringCase) {
    TFastJSON doc = Parsed(R"({"a":1,"a":2})");
    EXPECT_EQ(doc.RootObject()->Count(), 2);
    EXPECT_EQ(doc.ValueOf("a").AsString(), "1");
    EXPECT_EQ(doc.ValueOf("A").AsString(), "1");
    EXPECT_EQ(doc.RootObject()->IndexOfName("A"), 0);
    EXPECT_EQ(doc.RootObject()->IndexOfName("b"), -1);
    EXPECT_EQ(doc.RootObject()->Count(), 2);
}

TEST(FastJSONParseTest, SeparatorsInsideStringsBelongToTheString) {
    TFastJSON doc = Parsed(R"({"a":"x:y,z"})");
    ASSERT_EQ(doc.RootObject()->Count(), 1);
    EXPECT_EQ(doc.ValueOf("a").AsString(), "x:y,z");
}

TEST(FastJSONParseTest, KeywordsIgnoreLetterCase) {
    TFastJSON doc = Parsed(R"({"a":NULL,"b":True,"c":FALSE})");
    EXPECT_EQ(doc.ValueOf("a").Kind(), TJsonKind::jvNull);
    EXPECT_EQ(doc.ValueOf("b").Kind(), TJsonKind::jvBoolean);
    EXPECT_TRUE(doc.ValueOf("b").AsBoolean());
    EXPECT_FALSE(doc.ValueOf("c").AsBoolean());
    EXPECT_EQ(Compact(doc), R"({"a":null,"b":true,"c":false})");
}

TEST(FastJSONParseTest, MessagesNameTheClassAndThePair) {
    TFastJSON doc;
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse(R"({"a":})"); }), R"(<TJsonPair>"" parse error: "a": ..)");
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse(R"({"a"})"); }), R"(<TJsonPair>"" parse error: "a" ..)");
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse(R"({"a":1:2})"); }), R"(<TJsonPair>"" parse error: "a":1:2 ..)");
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse(R"({a:1})"); }), R"(<TJsonPair>"" parse error: a:1 ..)");
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse(R"({"x":{"a":}})"); }), R"(<TJsonPair>"x" parse error: "a": ..)");
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse(R"("abc")"); }), R"(<TFastJSON>"" parse error: "abc" ..)");
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse(" 5 "); }), R"(<TFastJSON>"" parse error: 5 ..)");
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse(R"({"Town":abc})"); }), R"(<TJsonValue>"Town" parse error: abc ..)");
    EXPECT_EQ(JsonErrorOf([&] { doc.Parse(R"({"o":[1,{"p":[x]}]})"); }), R"(<TJsonValue>"p" parse error: x ..)");
}

TEST(FastJSONParseTest, ParseErrorQuotesTheFirstHundredCharacters) {
    const std::string text = std::string(60, 'a') + std::string(60, 'b');
    const std::string msg = JsonErrorOf([&] { Parsed(R"({"t":)" + text + "}"); });
    EXPECT_EQ(msg, R"(<TJsonValue>"t" parse error: )" + text.substr(0, 100) + " ..");
    // Characters, not bytes: a cut never splits a character.
    const std::string umlauts = JsonErrorOf([&] { Parsed(R"({"t":)" + std::string(101, 'x') + "ä}"); });
    EXPECT_THAT(umlauts, ::testing::EndsWith(std::string(100, 'x') + " .."));
    const std::string wide = JsonErrorOf([&] {
        std::string s;
        for (int i = 0; i < 120; ++i) s += "ä";
        Parsed(R"({"t":)" + s + "}");
    });
    std::string hundred;
    for (int i = 0; i < 100; ++i) hundred += "ä";
    EXPECT_THAT(wide, ::testing::EndsWith(": " + hundred + " .."));
}

TEST(FastJSONParseTest, FailureKeepsTheNodesBuiltBefore) {
    TFastJSON doc;
    EXPECT_NE(JsonErrorOf([&] { doc.Parse("[1,2,x,4]"); }), "");
    ASSERT_EQ(doc.RootKind(), TJsonStructType::jsArray);
    ASSERT_EQ(doc.RootArray()->Count(), 3);
    EXPECT_EQ(doc.RootArray()->ItemAt(1).AsNumber(), 2);
    EXPECT_TRUE(doc.RootArray()->ItemAt(2).IsEmpty());
}

TEST(FastJSONParseTest, ParseReplacesTheContent) {
    TFastJSON doc = Parsed(R"({"a":1})");
    doc.Parse("[true]");
    EXPECT_EQ(doc.RootObject(), nullptr);
    EXPECT_EQ(Compact(doc), "[true]");
}

TEST(FastJSONParseTest, NestingIsLimited) {
    const int max = kMaxJsonDepth;
    TFastJSON doc;
    doc.Parse(std::string(max, '[') + std::string(max, ']'));
    EXPECT_EQ(doc.RootKind(), TJsonStructType::jsArray);
    EXPECT_THAT(JsonErrorOf([&] { doc.Parse(std::string(max + 1, '[') + std::string(max + 1, ']')); }),
                ::testing::StartsWith(R"(<TJsonArray>"" parse error: [])"));
    std::string objects;
    for (int i = 0; i <= max; ++i) objects += R"({"k":)";
    objects += "1" + std::string(max + 1, '}');
    EXPECT_THAT(JsonErrorOf([&] { doc.Parse(objects); }), ::testing::StartsWith(R"(<TJsonObject>"k" parse error:)"));
    // Far deeper input is refused the same way instead of exhausting the stack.
    EXPECT_NE(JsonErrorOf([&] { doc.Parse(std::string(20000, '[') + std::string(20000, ']')); }), "");
}

TEST(FastJSONParseTest, NodeParseOnItsOwn) {
    TJsonValue v(nullptr);
    v.Parse(R"("x\ty")");
    EXPECT_EQ(v.AsString(), "x\ty");
    TJsonObject o(nullptr);
    o.Parse(R"({ "a" : [ 1 , "b" ] })");
    EXPECT_EQ(Compact(o), R"({"a":[1,"b"]})");
    EXPECT_EQ(JsonErrorOf([&] { o.Parse("[1]"); }), R"(<TJsonObject>"" parse error: [1] ..)");
    TJsonArray a(nullptr);
    EXPECT_EQ(JsonErrorOf([&] { a.Parse("{}"); }), R"(<TJsonArray>"" parse error: {} ..)");
    TJsonPair p(nullptr);
    p.Parse(R"("na\u00efve":null)");
    EXPECT_EQ(p.Name, "naïve");
    EXPECT_EQ(p.Value.Kind(), TJsonKind::jvNull);
}

// ---- Values and navigation --------------------------------------------------

TEST(FastJSONValueTest, AsStringOfEveryKind) {
    TFastJSON doc = Parsed(R"({"s":"t","n":7,"f":1.50,"z":01234,"b":false,"u":null,"o":{},"a":[]})");
    EXPECT_EQ(doc.ValueOf("s").AsString(), "t");
    EXPECT_EQ(doc.ValueOf("n").AsString(), "7");
    EXPECT_EQ(doc.ValueOf("f").AsString(), "1.5");
    EXPECT_EQ(doc.ValueOf("z").AsString(), "1234");
    EXPECT_EQ(doc.ValueOf("b").AsString(), "false");
    EXPECT_EQ(doc.ValueOf("u").AsString(), "");
    EXPECT_EQ(doc.ValueOf("missing").AsString(), "");
    EXPECT_EQ(JsonErrorOf([&] { doc.ValueOf("o").AsString(); }),
              R"(<TJsonValue>"o" value type error: jvObject to jvString)");
    EXPECT_EQ(JsonErrorOf([&] { doc.ValueOf("a").AsString(); }),
              R"(<TJsonValue>"a" value type error: jvArray to jvString)");
}

TEST(FastJSONValueTest, AsObjectAndAsArrayTurnNoneIntoContainersAndRefuseOtherKinds) {
    TFastJSON doc = Parsed(R"({"x":null,"s":"t","o":{"k":1}})");
    EXPECT_EQ(JsonErrorOf([&] { doc.ValueOf("x").AsObject(); }),
              R"(<TJsonValue>"x" value type error: jvNull to jvObject)");
    EXPECT_EQ(JsonErrorOf([&] { doc.ValueOf("s").AsArray(); }),
              R"(<TJsonValue>"s" value type error: jvString to jvArray)");
    EXPECT_EQ(JsonErrorOf([&] { doc.ValueOf("o").AsArray(); }),
              R"(<TJsonValue>"o" value type error: jvObject to jvArray)");
    EXPECT_EQ(doc.ValueOf("o").AsObject().ValueOf("k").AsString(), "1");
    TJsonValue& fresh = doc.ValueOf("new");
    EXPECT_TRUE(fresh.IsEmpty());
    EXPECT_EQ(fresh.AsObject().Count(), 0);
    EXPECT_EQ(fresh.Kind(), TJsonKind::jvObject);
    EXPECT_EQ(doc.ValueOf("list").AsArray().Count(), 0);
    EXPECT_EQ(Compact(doc), R"({"x":null,"s":"t","o":{"k":1},"new":{},"list":[]})");
}

TEST(FastJSONValueTest, LookingUpAMissingKeyAddsIt) {
    TFastJSON doc = Parsed(R"({"a":1})");
    EXPECT_TRUE(doc.ValueOf("k").IsEmpty());
    EXPECT_EQ(doc.RootObject()->Count(), 2);
    EXPECT_EQ(Compact(doc), R"({"a":1,"k":null})");
    EXPECT_EQ(FileForm(doc), "  {\r\n  \"a\":1,\r\n  \"k\":null\r\n  }");
}

TEST(FastJSONValueTest, WithoutAutoAddAMissingKeyIsAnError) {
    TFastJSON doc = Parsed(R"({"a":1})");
    doc.RootObject()->AutoAdd = false;
    EXPECT_EQ(JsonErrorOf([&] { doc.ValueOf("k"); }), "<TJsonObject>k not found");
    EXPECT_EQ(doc.RootObject()->Count(), 1);
}

TEST(FastJSONValueTest, EmptyDocumentBecomesAnObjectArrayDocumentRefusesNames) {
    TFastJSON doc;
    EXPECT_EQ(doc.RootKind(), TJsonStructType::jsNone);
    doc.ValueOf("a").SetString("b");
    EXPECT_EQ(Compact(doc), R"({"a":"b"})");
    doc.Parse("[1]");
    EXPECT_EQ(JsonErrorOf([&] { doc.ValueOf("a"); }), "<TFastJSON>json struct type is not jsObject");
    doc.Clear();
    EXPECT_EQ(doc.RootKind(), TJsonStructType::jsNone);
    EXPECT_EQ(Compact(doc), "");
}

TEST(FastJSONValueTest, IndexOutsideTheListRaisesTheListIndexError) {
    TFastJSON doc = Parsed(R"([1,2,3])");
    for (int bad : {3, 5, -1}) {
        try {
            doc.RootArray()->ItemAt(bad);
            ADD_FAILURE() << bad;
        } catch (const EListError& e) {
            EXPECT_EQ(e.what(), "Der Index der Liste überschreitet das Maximum (" + std::to_string(bad) + ")");
        }
    }
    EXPECT_EQ(doc.RootArray()->ItemAt(2).AsString(), "3");
    TFastJSON obj = Parsed(R"({"a":1})");
    EXPECT_THROW(obj.RootObject()->PairAt(1), EListError);
    EXPECT_EQ(obj.RootObject()->PairAt(0).Name, "a");
}

TEST(FastJSONValueTest, AddItemAddPairAndSetters) {
    TFastJSON doc;
    TJsonArray& items = doc.ValueOf("items").AsArray();
    items.AddItem().SetNumber(2.5L);
    items.AddItem().SetBoolean(true);
    items.AddItem();
    TJsonObject& o = items.AddItem().AsObject();
    o.AddPair("n").Value.SetString("ä\"");
    o.AddPair("n").Value.SetNull();
    EXPECT_EQ(Compact(doc), R"({"items":[2.5,true,null,{"n":"\u00e4\"","n":null}]})");
}

TEST(FastJSONValueTest, PairNameIsTheNearestEnclosingPair) {
    TFastJSON doc = Parsed(R"({"outer":{"inner":[[5]]},"plain":1})");
    TJsonValue& five = doc.ValueOf("outer").AsObject().ValueOf("inner").AsArray().ItemAt(0).AsArray().ItemAt(0);
    EXPECT_EQ(five.PairName(), "inner");
    EXPECT_EQ(doc.ValueOf("plain").PairName(), "plain");
    EXPECT_EQ(doc.RootObject()->PairName(), "");
    EXPECT_EQ(doc.RootObject()->PairAt(0).PairName(), "");
    EXPECT_EQ(doc.PairName(), "");
}

TEST(FastJSONValueTest, ClearReturnsToNone) {
    TFastJSON doc = Parsed(R"({"a":{"b":1}})");
    TJsonValue& a = doc.ValueOf("a");
    a.Clear();
    EXPECT_TRUE(a.IsEmpty());
    EXPECT_EQ(a.ObjectOrNull(), nullptr);
    EXPECT_EQ(Compact(doc), R"({"a":null})");
}

// ---- Assign -------------------------------------------------------------------

TEST(FastJSONAssignTest, CopiesDeeply) {
    TFastJSON src = Parsed(R"({"a":[1,{"b":"c"}],"d":true})");
    TFastJSON copy;
    copy.Assign(&src);
    src.ValueOf("d").SetString("changed");
    src.ValueOf("a").AsArray().ItemAt(1).AsObject().ValueOf("b").SetNull();
    EXPECT_EQ(Compact(copy), R"({"a":[1,{"b":"c"}],"d":true})");
    EXPECT_EQ(copy.ValueOf("a").AsArray().ItemAt(1).PairName(), "a");
}

TEST(FastJSONAssignTest, AcceptsTheSourcesOfEachClass) {
    TFastJSON src = Parsed(R"({"o":{"k":1},"a":[2],"s":"x"})");
    TFastJSON doc;
    doc.Assign(&src.ValueOf("o"));
    EXPECT_EQ(Compact(doc), R"({"k":1})");
    doc.Assign(&src.ValueOf("a").AsArray());
    EXPECT_EQ(Compact(doc), "[2]");
    EXPECT_EQ(JsonErrorOf([&] { doc.Assign(&src.ValueOf("s")); }), "<TFastJSON>assign error: TJsonValue to TFastJSON");
    EXPECT_EQ(JsonErrorOf([&] { doc.Assign(nullptr); }), "<TFastJSON>assign error: nil to TFastJSON");

    TJsonValue v(nullptr);
    v.Assign(&src.ValueOf("o").AsObject());
    EXPECT_EQ(Compact(v), R"({"k":1})");
    v.Assign(&src.ValueOf("s"));
    EXPECT_EQ(v.AsString(), "x");
    EXPECT_EQ(JsonErrorOf([&] { v.Assign(&src); }), "<TJsonValue>assign error: TFastJSON to TJsonValue");

    TJsonArray a(nullptr);
    EXPECT_EQ(JsonErrorOf([&] { a.Assign(&src.ValueOf("o").AsObject()); }),
              "<TJsonArray>assign error: TJsonObject to TJsonArray");
    TJsonObject o(nullptr);
    EXPECT_EQ(JsonErrorOf([&] { o.Assign(&src.ValueOf("o")); }), "<TJsonObject>assign error: TJsonValue to TJsonObject");

    TJsonPair p(nullptr);
    p.Assign(&src.RootObject()->PairAt(1));
    EXPECT_EQ(p.Name, "a");
    EXPECT_EQ(Compact(p), R"("a":[2])");
    EXPECT_EQ(JsonErrorOf([&] { p.Assign(&v); }), "<TJsonPair>assign error: TJsonValue to TJsonPair");
}

TEST(FastJSONAssignTest, SourceInsideTheTargetIsCopiedBeforeTheTargetIsCleared) {
    TFastJSON doc = Parsed(R"({"a":{"b":[1,{"c":2}]}})");
    doc.Assign(&doc.ValueOf("a").AsObject());
    EXPECT_EQ(Compact(doc), R"({"b":[1,{"c":2}]})");
    TJsonValue& b = doc.ValueOf("b");
    b.Assign(&b.AsArray().ItemAt(1));
    EXPECT_EQ(Compact(doc), R"({"b":{"c":2}})");
    TJsonPair& pair = doc.RootObject()->PairAt(0);
    pair.Assign(&pair.Value.AsObject().PairAt(0));
    EXPECT_EQ(Compact(doc), R"({"c":2})");
    doc.Assign(&doc);
    EXPECT_EQ(Compact(doc), R"({"c":2})");
}

// ---- Written forms ------------------------------------------------------------

TEST(FastJSONWriteTest, CompactFormWithoutFormatter) {
    const char* text = R"({"a":[1,2,{"b":"c"},[]],"d":true,"e":null,"f":{}})";
    EXPECT_EQ(Compact(Parsed(text)), text);
    EXPECT_EQ(Parsed(text).ToText(nullptr), text);
}

TEST(FastJSONWriteTest, FileFormOfTheSmallExample) {
    EXPECT_EQ(FileForm(Parsed(R"({"a":1,"b":[1,2]})")),
              "  {\r\n  \"a\":1,\r\n  \"b\":[1,2\r\n   ]\r\n\r\n  }");
}

TEST(FastJSONWriteTest, FileFormNestsObjectsOnTheirOwnLine) {
    EXPECT_EQ(FileForm(Parsed(R"({"o":{"k":"v"},"a":[{"x":1}],"e":{}})")),
              "  {\r\n"
              "  \"o\":\r\n"
              "  {\r\n"
              "  \"k\":\"v\"\r\n"
              "  },\r\n"
              "  \"a\":[\r\n"
              "   {\r\n"
              "   \"x\":1\r\n"
              "   }\r\n"
              "   ]\r\n"
              ",\r\n"
              "  \"e\":\r\n"
              "  {\r\n"
              "  }\r\n"
              "  }");
}

TEST(FastJSONWriteTest, FileFormOfAnArrayDocument) {
    EXPECT_EQ(FileForm(Parsed("[1,[2]]")), "[1,[2\r\n    ]\r\n\r\n   ]\r\n");
}

TEST(FastJSONWriteTest, ObjectNotAtPositionZeroStartsOnANewLine) {
    TFastJSON doc = Parsed(R"({"a":1})");
    TJSONFormatter f("\n", 1);
    std::string out = "x";
    doc.WriteToStream(out, &f);
    EXPECT_EQ(out, "x\n {\n \"a\":1\n }");
}

TEST(FastJSONWriteTest, TextFormBreaksBeforeEveryElement) {
    TFastJSON doc = Parsed(R"({"a":[1,{"b":2}]})");
    TJSONFormatter f("\n", 1);
    EXPECT_EQ(doc.ToText(&f), " {\n \"a\":[\n1,\n  {\n  \"b\":2\n  }\n  ]\n\n }");
}

TEST(FastJSONWriteTest, IndentationPerLevel) {
    TJSONFormatter f("", 0);
    const char* expected[] = {"", " ", "  ", "   ", "    ", "      ", "       ", "", ""};
    for (int level = 0; level <= 8; ++level) EXPECT_EQ(f.Indentation(level), expected[level]) << level;
    EXPECT_EQ(f.Indentation(-1), "");
    TJSONFormatter g("|", 1);
    std::string out;
    g.BreakShallower(out);
    g.BreakShallower(out);
    EXPECT_EQ(g.Level, 0);
    g.BreakIndent(out);
    g.IndentOnly(out);
    EXPECT_EQ(out, "|||");
}

TEST(FastJSONWriteTest, EscapesOfTheExamplesStayByteForByte) {
    TFastJSON doc = Parsed(R"({"e":"\u20ac","ae":"\u00e4","l":"\u0141","c":"\u0080","q":"a\/b"})");
    EXPECT_EQ(doc.ValueOf("e").AsString(), "€");
    EXPECT_EQ(doc.ValueOf("ae").AsString(), "ä");
    EXPECT_EQ(doc.ValueOf("l").AsString(), "Ł");
    EXPECT_EQ(doc.ValueOf("c").AsString(), "€");
    EXPECT_EQ(Compact(doc), R"({"e":"\u20ac","ae":"\u00e4","l":"\u0141","c":"\u20ac","q":"a\/b"})");
}

// Numbers never depend on the process locale.
TEST(FastJSONWriteTest, NumbersIgnoreACommaLocale) {
    struct CommaPunct : std::numpunct<char> {
        char do_decimal_point() const override { return ','; }
    };
    const std::locale previous = std::locale::global(std::locale(std::locale::classic(), new CommaPunct));
    TFastJSON doc = Parsed(R"({"n":1.5,"m":-2.25e-7})");
    std::locale::global(previous);
    EXPECT_EQ(doc.ValueOf("n").AsNumber(), 1.5L);
    EXPECT_EQ(Compact(doc), R"({"n":1.5,"m":-2.25e-07})");
}

TEST(FastJSONWriteTest, NumbersIgnoreAGermanCLocale) {
    const char* previous = std::setlocale(LC_ALL, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_ALL, "de_DE.UTF-8") && !std::setlocale(LC_ALL, "de_DE")) {
        GTEST_SKIP() << "locale de_DE is not installed (apt-get install locales; locale-gen de_DE.UTF-8)";
    }
    TFastJSON doc = Parsed(R"({"n":1.5})");
    const std::string written = Compact(doc);
    std::setlocale(LC_ALL, saved.c_str());
    EXPECT_EQ(doc.ValueOf("n").AsNumber(), 1.5L);
    EXPECT_EQ(written, R"({"n":1.5})");
}

// ---- Files --------------------------------------------------------------------

TEST(FastJSONFileTest, SaveWritesTheFileFormAndTheBackupCopy) {
    TScratchFolder tmp;
    const std::string path = tmp.Path("new/sub/testcase.json");
    Parsed(R"({"a":1,"b":[1,2]})").SaveToFile(path, true);
    const std::string expected = "  {\r\n  \"a\":1,\r\n  \"b\":[1,2\r\n   ]\r\n\r\n  }";
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(ReadBytes(tmp.Path("new/sub/testcase.~json")), expected);
}

TEST(FastJSONFileTest, SaveWithoutBackupLeavesNoCopyAndOverwrites) {
    TScratchFolder tmp;
    const std::string path = tmp.Path("t.json");
    WriteBytes(path, std::string(1000, 'x'));
    Parsed("[]").SaveToFile(path);
    EXPECT_EQ(ReadBytes(path), "[\r\n   ]\r\n");
    EXPECT_FALSE(std::filesystem::exists(tmp.Path("t.~json")));
}

TEST(FastJSONFileTest, SaveWithAnotherFormatterClass) {
    struct Flat : TJSONFormatter {
        using TJSONFormatter::TJSONFormatter;
        std::string_view Indentation(int) const noexcept override { return "\t"; }
    };
    TScratchFolder tmp;
    const std::string path = tmp.Path("t.json");
    Parsed(R"({"a":1})").SaveToFile(path, false, [](std::string lb, int level) -> std::unique_ptr<TJSONFormatter> {
        return std::make_unique<Flat>(std::move(lb), level);
    });
    EXPECT_EQ(ReadBytes(path), "\t{\r\n\t\"a\":1\r\n\t}");
}

TEST(FastJSONFileTest, SaveToABareNameWritesIntoTheCurrentFolder) {
    TScratchFolder tmp;
    const std::string cwd = std::filesystem::current_path().string();
    ASSERT_EQ(::chdir(tmp.Root().c_str()), 0);
    EXPECT_NO_THROW(Parsed("[1]").SaveToFile("bare.json", true));
    ASSERT_EQ(::chdir(cwd.c_str()), 0);
    EXPECT_EQ(ReadBytes(tmp.Path("bare.json")), "[1\r\n   ]\r\n");
    EXPECT_TRUE(std::filesystem::exists(tmp.Path("bare.~json")));
}

TEST(FastJSONFileTest, SaveIntoAFolderThatCannotBeCreatedFails) {
    TScratchFolder tmp;
    WriteBytes(tmp.Path("file"), "x");
    EXPECT_THROW(Parsed("[]").SaveToFile(tmp.Path("file/sub/t.json")), EInOutError);
}

TEST(FastJSONFileTest, LoadReadsUpToTheFirstZeroByte) {
    TScratchFolder tmp;
    const std::string path = tmp.Path("r.json");
    WriteBytes(path, std::string("{\"a\":\"\\u00e4\"}\0 garbage", 23));
    TFastJSON doc;
    doc.LoadFromFile(path);
    EXPECT_EQ(doc.ValueOf("a").AsString(), "ä");
}

TEST(FastJSONFileTest, LoadOfAMissingFileLeavesTheDocumentEmpty) {
    TScratchFolder tmp;
    TFastJSON doc = Parsed(R"({"old":1})");
    EXPECT_NO_THROW(doc.LoadFromFile(tmp.Path("missing.json"), true, true));
    EXPECT_EQ(doc.RootKind(), TJsonStructType::jsNone);
    // A folder is no file either.
    EXPECT_NO_THROW(doc.LoadFromFile(tmp.Root() + "/", true, true));
}

TEST(FastJSONFileTest, LoadOfABrokenFileRaisesOnlyWithReraise) {
    TScratchFolder tmp;
    const std::string path = tmp.Path("r.json");
    WriteBytes(path, R"({"a":1,"b":oops})");
    TFastJSON doc;
    EXPECT_EQ(JsonErrorOf([&] { doc.LoadFromFile(path, false, true); }), R"(<TJsonValue>"b" parse error: oops ..)");
    EXPECT_EQ(Compact(doc), R"({"a":1,"b":null})");
    EXPECT_NO_THROW(doc.LoadFromFile(path, true, false));
    EXPECT_EQ(Compact(doc), R"({"a":1,"b":null})");
    WriteBytes(path, "");
    EXPECT_EQ(JsonErrorOf([&] { doc.LoadFromFile(path); }), R"(<TFastJSON>"" parse error:  ..)");
}

TEST(FastJSONFileTest, BrokenFileIsRecoveredFromItsBackupCopy) {
    TScratchFolder tmp;
    const std::string path = tmp.Path("testcase.json");
    Parsed(R"({"good":true})").SaveToFile(path, true);
    WriteBytes(path, R"({"good":tru)");
    TFastJSON doc;
    doc.LoadFromFile(path, true, false);
    EXPECT_EQ(Compact(doc), R"({"good":true})");
    // With reraise the first failure still reaches the caller, but the
    // document holds the copy.
    EXPECT_THAT(JsonErrorOf([&] { doc.LoadFromFile(path, true, true); }), ::testing::HasSubstr("parse error"));
    EXPECT_EQ(Compact(doc), R"({"good":true})");
    // Without tryBackup the copy is not looked at.
    doc.LoadFromFile(path, false, false);
    EXPECT_EQ(doc.RootKind(), TJsonStructType::jsNone);
}

TEST(FastJSONFileTest, BrokenBackupCopyEndsTheLoadAfterOneAttempt) {
    TScratchFolder tmp;
    const std::string path = tmp.Path("testcase.json");
    WriteBytes(path, "[1,x]");
    WriteBytes(tmp.Path("testcase.~json"), "[2,y]");
    TFastJSON doc;
    EXPECT_NO_THROW(doc.LoadFromFile(path, true, false));
    EXPECT_EQ(Compact(doc), "[2,null]");
    EXPECT_EQ(JsonErrorOf([&] { doc.LoadFromFile(path, true, true); }), R"(<TJsonValue>"" parse error: x ..)");
    // The copy's own backup name is itself: loading it tries it once more only.
    EXPECT_NO_THROW(doc.LoadFromFile(tmp.Path("testcase.~json"), true, false));
    EXPECT_EQ(Compact(doc), "[2,null]");
}

#ifdef _WIN32
TEST(FastJSONFileTest, ADeviceIsRefusedWithoutWaitingForInput) {
    TFastJSON doc;
    try {
        doc.LoadFromFile("CONIN$", false, true);
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "OSError");
    }
}
#else
TEST(FastJSONFileTest, ANamedPipeIsRefusedWithoutWaitingForAWriter) {
    TScratchFolder tmp;
    const std::string path = tmp.Path("fifo.json");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    TFastJSON doc;
    try {
        doc.LoadFromFile(path, false, true);
        ADD_FAILURE() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "OSError");
    }
    EXPECT_NO_THROW(doc.LoadFromFile(path, false, false));
}
#endif

TEST(FastJSONFileTest, BackupNameReplacesTheExtensionOfTheFileName) {
    EXPECT_EQ(JsonBackupName("/a/b/testcase.json"), "/a/b/testcase.~json");
    EXPECT_EQ(JsonBackupName("/a.b/file"), "/a.b/file.~json");
    EXPECT_EQ(JsonBackupName("file"), "file.~json");
    EXPECT_EQ(JsonBackupName("a.tar.gz"), "a.tar.~json");
    EXPECT_EQ(JsonBackupName("x.~json"), "x.~json");
}

TEST(FastJSONFileTest, SaveThenLoadGivesTheSameDocument) {
    TScratchFolder tmp;
    const std::string text = R"({"s":"Müller\n\"€\" 😀","n":[1.5,-0,1e+300,0.000123],"b":[true,false,null,{}],"o":{"e":[]}})";
    TFastJSON doc = Parsed(text);
    doc.SaveToFile(tmp.Path("r.json"));
    TFastJSON back;
    back.LoadFromFile(tmp.Path("r.json"));
    EXPECT_EQ(Compact(back), Compact(doc));
    EXPECT_EQ(back.ValueOf("s").AsString(), "Müller\n\"€\" 😀");
}

}  // namespace
}  // namespace qm
