// The host address record: loading, validity, description, and the saved
// "testcase.json" copy.
#include "UCommonCVJSON.h"

#include <set>
#include <string>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "JsonTestSupport.h"
#include "UJSONConst.h"

namespace qm {
namespace {

using test::ReadBytes;
using test::TestDataPath;
using test::TScratchFolder;
using test::WriteBytes;

constexpr const char* kExample =
    R"({"Order":[{"PrintName":"Rechnung","PrintUID":"R-1","Adress":[{"adresssmart":"A, Town"}],"Parts":[]}]})";

std::string Compact(const TFastJSON& doc) {
    std::string out;
    doc.WriteToStream(out, nullptr);
    return out;
}

template <class F>
std::string ErrorOf(F&& action) {
    return test::MessageOf<EQuillmarkError>(action);
}

TEST(CVJSONObjectTest, FreshObjectHasNothing) {
    TCVJSONObject rec;
    EXPECT_EQ(rec.DisplayText, "");
    EXPECT_FALSE(rec.IsValid());
    EXPECT_EQ(rec.LoadedDocument, nullptr);
    EXPECT_EQ(rec.Document.RootKind(), TJsonStructType::jsNone);
}

TEST(CVJSONObjectTest, ExampleRecordIsValidAndDescribed) {
    TCVJSONObject rec;
    rec.Load(kExample, true);
    ASSERT_TRUE(rec.IsValid());
    EXPECT_EQ(rec.DisplayText, "Rechnung R-1 A, Town");
    EXPECT_EQ(rec.LoadedDocument, &rec.Document);
    EXPECT_EQ(rec.Adress->AsObject().ValueOf("AdressSmart").AsString(), "A, Town");
    EXPECT_EQ(rec.Parts->Count(), 0);
    EXPECT_EQ(rec.Order, &rec.Document.ValueOf("Order").AsArray().ItemAt(0));
    EXPECT_EQ(Compact(rec.Document), kExample);
}

TEST(CVJSONObjectTest, RecordWithoutPartsGetsAnEmptyPartsArray) {
    TCVJSONObject rec;
    rec.Load(R"({"Order":[{"PrintName":"Rechnung","PrintUID":"R-1","Adress":[{"adresssmart":"A, Town"}]}]})", true);
    ASSERT_TRUE(rec.IsValid());
    EXPECT_EQ(rec.DisplayText, "Rechnung R-1 A, Town");
    EXPECT_EQ(Compact(rec.Document),
              R"({"Order":[{"PrintName":"Rechnung","PrintUID":"R-1","Adress":[{"adresssmart":"A, Town"}],"Parts":[]}]})");
}

TEST(CVJSONObjectTest, MissingDescriptionKeysAreAddedAndSavedAsNull) {
    TCVJSONObject rec;
    rec.Load(R"({"Order":[{"Adress":[{}]}]})", true);
    ASSERT_TRUE(rec.IsValid());
    EXPECT_EQ(rec.DisplayText, "  ");
    EXPECT_EQ(Compact(rec.Document),
              R"({"Order":[{"Adress":[{"adresssmart":null}],"Parts":[],"PrintName":null,"PrintUID":null}]})");
}

TEST(CVJSONObjectTest, NumberAndNullInTheDescription) {
    TCVJSONObject rec;
    rec.Load(R"({"Order":[{"PrintName":"Rechnung","PrintUID":7,"Adress":[{"AdressSmart":"A"}],"Parts":[]}]})", true);
    EXPECT_EQ(rec.DisplayText, "Rechnung 7 A");
    rec.Load(R"({"Order":[{"PrintName":"Rechnung","PrintUID":null,"Adress":[{"ADRESSSMART":"A"}],"Parts":[]}]})", true);
    EXPECT_EQ(rec.DisplayText, "Rechnung  A");
}

TEST(CVJSONObjectTest, EmptyOrderRaisesTheListIndexError) {
    TCVJSONObject rec;
    EXPECT_EQ(ErrorOf([&] { rec.Load(R"({"Order":[]})", true); }), "Der Index der Liste überschreitet das Maximum (0)");
    EXPECT_FALSE(rec.IsValid());
    EXPECT_EQ(rec.DisplayText, "Invalid JSON Data");
    EXPECT_EQ(ErrorOf([&] { rec.Load(R"({"Order":[{"Adress":[]}]})", true); }),
              "Der Index der Liste überschreitet das Maximum (0)");
    EXPECT_NE(rec.Order, nullptr);  // set before the failure, and stays set
    EXPECT_FALSE(rec.IsValid());
}

TEST(CVJSONObjectTest, OrderThatIsNoArrayRaisesTheValueTypeError) {
    TCVJSONObject rec;
    EXPECT_EQ(ErrorOf([&] { rec.Load(R"({"Order":{}})", true); }),
              R"(<TJsonValue>"Order" value type error: jvObject to jvArray)");
    EXPECT_EQ(ErrorOf([&] { rec.Load(R"({"Order":[5]})", true); }),
              R"(<TJsonValue>"Order" value type error: jvNumber to jvObject)");
    EXPECT_EQ(ErrorOf([&] { rec.Load(R"({"Order":[{"Adress":"x"}]})", true); }),
              R"(<TJsonValue>"Adress" value type error: jvString to jvArray)");
    EXPECT_EQ(ErrorOf([&] { rec.Load(R"([1])", true); }), "<TFastJSON>json struct type is not jsObject");
    EXPECT_EQ(rec.DisplayText, "Invalid JSON Data");
}

TEST(CVJSONObjectTest, EmptyNameLoadsNothing) {
    TCVJSONObject rec;
    EXPECT_NO_THROW(rec.Load(""));
    EXPECT_FALSE(rec.IsValid());
    EXPECT_EQ(rec.DisplayText, "Invalid JSON Data");
    EXPECT_EQ(rec.LoadedDocument, nullptr);
    rec.Load(kExample, true);
    rec.Load("");
    EXPECT_FALSE(rec.IsValid());
    EXPECT_EQ(rec.Order, nullptr);
    EXPECT_EQ(rec.Document.RootKind(), TJsonStructType::jsNone);
}

TEST(CVJSONObjectTest, BrokenTextRaisesTheParseError) {
    TCVJSONObject rec;
    EXPECT_EQ(ErrorOf([&] { rec.Load(R"({"Order":[{"Town":abc}]})", true); }),
              R"(<TJsonValue>"Town" parse error: abc ..)");
    EXPECT_FALSE(rec.IsValid());
}

TEST(CVJSONObjectTest, MissingFileIsNoLoadErrorButHasNoOrder) {
    TScratchFolder tmp;
    TCVJSONObject rec;
    EXPECT_EQ(ErrorOf([&] { rec.Load(tmp.Path("gone.json")); }), "Der Index der Liste überschreitet das Maximum (0)");
    EXPECT_EQ(rec.LoadedDocument, &rec.Document);
    EXPECT_EQ(rec.DisplayText, "Invalid JSON Data");
}

TEST(CVJSONObjectTest, BrokenFileIsRecoveredFromTheBackupCopy) {
    TScratchFolder tmp;
    const std::string path = tmp.Path("adress.json");
    WriteBytes(tmp.Path("adress.~json"), kExample);
    WriteBytes(path, R"({"Order":[{"PrintName":"Rech)");
    TCVJSONObject rec;
    rec.Load(path);
    EXPECT_TRUE(rec.IsValid());
    EXPECT_EQ(rec.DisplayText, "Rechnung R-1 A, Town");
    // Without tryBackup the broken file leaves an empty document.
    EXPECT_EQ(ErrorOf([&] { rec.Load(path, false, false); }), "Der Index der Liste überschreitet das Maximum (0)");
}

// A record as the host writes it, loaded from its file and saved as
// "testcase.json" with its ".~json" copy, byte for byte as checked in.
TEST(CVJSONObjectTest, HostRecordLoadsAndSavesTheReferenceCopy) {
    TScratchFolder tmp;
    TCVJSONObject rec;
    rec.Load(TestDataPath("record.json"));
    ASSERT_TRUE(rec.IsValid());
    EXPECT_EQ(rec.DisplayText, "Rechnung RE-2024-0042 Müller GmbH, 80331 München");
    TJsonObject& adress = rec.Adress->AsObject();
    EXPECT_EQ(adress.ValueOf("FirstName").AsString(), "Jürgen");
    EXPECT_EQ(adress.ValueOf("Street").AsString(), "Straße des 17. Juni 1");
    EXPECT_EQ(adress.ValueOf("Group").AsString(), "Kunden/A");
    EXPECT_EQ(adress.ValueOf("CustomerNumber").AsString(), "10017");
    EXPECT_EQ(adress.ValueOf("IX").AsString(), "Tel. 0891234567 Fax 0891234568 juergen@mueller.example");
    EXPECT_EQ(adress.ValueOf("R1").AsString(), "");
    EXPECT_EQ(rec.Parts->Count(), 2);
    EXPECT_EQ(rec.Parts->ItemAt(0).AsObject().ValueOf("Description1").AsString(), "Beratung €/h");

    const std::string out = tmp.Path("CVTempDir/testcase.json");
    rec.LoadedDocument->SaveToFile(out, true);
    const std::string expected = ReadBytes(TestDataPath("testcase.expected.json"));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(ReadBytes(out), expected);
    EXPECT_EQ(ReadBytes(tmp.Path("CVTempDir/testcase.~json")), expected);

    // The saved copy loads again into the same record.
    TCVJSONObject again;
    again.Load(out);
    EXPECT_EQ(again.DisplayText, rec.DisplayText);
    EXPECT_EQ(Compact(again.Document), Compact(rec.Document));
}

// A record carrying every field of the name lists reads each field back.
TEST(CVJSONObjectTest, EveryListedFieldReadsBack) {
    std::string text = R"({"Order":[{)";
    for (std::string_view name : kOrderFieldNames) text += "\"" + std::string(name) + "\":\"o-" + std::string(name) + "\",";
    text += R"("Adress":[{)";
    for (std::string_view name : kAddressFieldNames) text += "\"" + std::string(name) + "\":\"a-" + std::string(name) + "\",";
    text.back() = '}';
    text += R"(],"Parts":[{)";
    for (std::string_view name : kLineItemFieldNames) text += "\"" + std::string(name) + "\":\"p-" + std::string(name) + "\",";
    text.back() = '}';
    text += "]}]}";
    TCVJSONObject rec;
    rec.Load(text, true);
    ASSERT_TRUE(rec.IsValid());
    EXPECT_EQ(rec.DisplayText, "o-PrintName  a-AdressSmart");
    for (std::string_view name : kOrderFieldNames)
        EXPECT_EQ(rec.Order->AsObject().ValueOf(name).AsString(), "o-" + std::string(name));
    for (std::string_view name : kAddressFieldNames)
        EXPECT_EQ(rec.Adress->AsObject().ValueOf(name).AsString(), "a-" + std::string(name));
    for (std::string_view name : kLineItemFieldNames)
        EXPECT_EQ(rec.Parts->ItemAt(0).AsObject().ValueOf(name).AsString(), "p-" + std::string(name));
}

TEST(CVJSONObjectTest, NameListsHoldNoRepeatsAndNotTheKeysReadOutsideThem) {
    auto check = [](const auto& names) {
        std::set<std::string, std::less<>> seen;
        for (std::string_view n : names) {
            std::string folded(n);
            for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            EXPECT_TRUE(seen.insert(folded).second) << n;
            EXPECT_NE(folded, "ix");
            EXPECT_NE(folded, "printuid");
        }
    };
    check(kRecordFieldNames);
    check(kAddressFieldNames);
    check(kOrderFieldNames);
    check(kLineItemFieldNames);
}

}  // namespace
}  // namespace qm
