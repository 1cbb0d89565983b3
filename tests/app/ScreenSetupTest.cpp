#include <gtest/gtest.h>

#include <map>
#include <string>

#include "UScreenSetup.h"

namespace {

using qm::TPropertyObject;

// Records what the look-and-feel mechanism sets, as "Component.Path" = value.
struct TRecorder {
    std::map<std::string, std::string> Values;

    void Define(TPropertyObject& object, const std::string& label) {
        object.DefineOrdinal("Color", [this, label](std::int64_t v) { Values[label + ".Color"] = std::to_string(v); });
        object.DefineString("Caption", [this, label](const std::string& v) { Values[label + ".Caption"] = v; });
        TPropertyObject& font = object.DefineObject("Font", "TFont");
        font.DefineString("Name", [this, label](const std::string& v) { Values[label + ".Font.Name"] = v; });
        font.DefineOrdinal("Size", [this, label](std::int64_t v) { Values[label + ".Font.Size"] = std::to_string(v); });
    }
};

TEST(ColorIdents, MatchIgnoringCaseAndCoverSystemAndOwnColours) {
    EXPECT_EQ(qm::IdentToColor("clwhite"), 0xFFFFFF);
    EXPECT_EQ(qm::IdentToColor("CLWHITE"), 0xFFFFFF);
    EXPECT_EQ(qm::IdentToColor("clRed"), 0x0000FF);
    EXPECT_EQ(qm::IdentToColor("clNavy"), 0x800000);
    EXPECT_EQ(qm::IdentToColor("clBtnFace"), 0x8000000F);
    EXPECT_EQ(qm::IdentToColor("clGold"), 0x0000D7FF);
    for (const char* own : {"ecDarkBlue", "ecBlue", "ecLightBlue", "ecDarkRed", "ecRed", "ecLightRed", "ecDarkGreen",
                            "ecGreen", "ecLightGreen", "ecDarkYellow", "ecYellow", "ecLightYellow", "ecDarkBrown",
                            "ecBrown", "ecLightBrown", "ecDarkKaki", "ecKaki", "ecLightKaki"})
        EXPECT_TRUE(qm::PlainColorToRgb(qm::IdentToColor(own).value_or(-1))) << own;
    EXPECT_EQ(qm::IdentToColor("white"), std::nullopt);
    EXPECT_EQ(qm::IdentToColor(""), std::nullopt);
}

TEST(ColorIdents, SplitIntoRgbOrSystemIndex) {
    EXPECT_EQ(qm::PlainColorToRgb(0x00336699), (qm::TRgb{0x99, 0x66, 0x33}));
    EXPECT_EQ(qm::PlainColorToRgb(qm::clNone), std::nullopt);
    EXPECT_EQ(qm::PlainColorToRgb(0x8000000F), std::nullopt);
    EXPECT_EQ(qm::SystemColorIndex(0x8000000F), 15);
    EXPECT_EQ(qm::SystemColorIndex(0xFFFFFF), std::nullopt);
    EXPECT_EQ(qm::SystemColorIndex(0x80000000 + 31), std::nullopt);
}

TEST(ApplyScreenSetup, MakesTheDialogsPanelWhiteInTahoma) {
    TRecorder recorder;
    TPropertyObject form("TLiveImportFrm", "LiveImportFrm", true);
    recorder.Define(form, "Form");
    recorder.Define(form.AddComponent("TPanel", "PC"), "PC");
    recorder.Define(form.AddComponent("TMarkupLabel", "HL"), "HL");
    qm::ApplyScreenSetup(form, true);
    EXPECT_EQ(recorder.Values, (std::map<std::string, std::string>{{"PC.Color", "16777215"},
                                                                    {"PC.Font.Name", "Tahoma"}}));
}

TEST(ApplyScreenSetup, DoesNothingUnlessTheObjectIsAForm) {
    TRecorder recorder;
    TPropertyObject frame("TLiveImportFrm", "LiveImportFrm", false);
    recorder.Define(frame.AddComponent("TPanel", "PC"), "PC");
    qm::ApplyScreenSetup(frame, true);
    EXPECT_TRUE(recorder.Values.empty());
}

TEST(ApplyLookAndFeel, ConvertsValuesByPropertyKind) {
    TRecorder recorder;
    TPropertyObject form("TForm1", "Form1", true);
    recorder.Define(form.AddComponent("TBox", "A"), "A");
    recorder.Define(form.AddComponent("TOther", "B"), "B");
    qm::ApplyLookAndFeel(form,
                         "TBox<>Color=12<>Font.Size=abc<>Caption=ecRed<>font.name=Arial\r\n"
                         "TOther<>Color=ecRed<>Caption= spaced ");
    EXPECT_EQ(recorder.Values, (std::map<std::string, std::string>{
                                   {"A.Color", "12"},
                                   {"A.Font.Size", "0"},
                                   {"A.Caption", "ecRed"},
                                   {"A.Font.Name", "Arial"},
                                   {"B.Color", std::to_string(*qm::IdentToColor("ecRed"))},
                                   {"B.Caption", " spaced "},
                               }));
}

TEST(ApplyLookAndFeel, SkipsMalformedLinesSettingsAndUnknownProperties) {
    TRecorder recorder;
    TPropertyObject form("TForm1", "Form1", true);
    recorder.Define(form.AddComponent("TBox", "A"), "A");
    qm::ApplyLookAndFeel(form,
                         "TBox\r\n"
                         "TBox<>Color=1=2<>Caption=<>Missing=5<>Color.Name=x<>Font=3<>Font.Size=9\r\n"
                         "<>Color=7\r\n");
    EXPECT_EQ(recorder.Values, (std::map<std::string, std::string>{{"A.Font.Size", "9"}}));
}

TEST(ApplyLookAndFeel, ClassNamesIgnoreCaseAndALaterLineWins) {
    TRecorder recorder;
    TPropertyObject form("TForm1", "Form1", true);
    recorder.Define(form.AddComponent("TBox", "A"), "A");
    qm::ApplyLookAndFeel(form, "tbox<>Color=1<>Caption=first\r\nTBOX<>Color=2");
    EXPECT_EQ(recorder.Values, (std::map<std::string, std::string>{{"A.Color", "2"}}));
}

TEST(ApplyLookAndFeel, ClassPassReachesNestedComponentsThenOwnerNamePassOverrides) {
    TRecorder recorder;
    TPropertyObject form("TForm1", "Form1", true);
    recorder.Define(form, "Form");
    TPropertyObject& panel = form.AddComponent("TPanel", "P");
    recorder.Define(panel, "P");
    recorder.Define(panel.AddComponent("TBox", "Inner"), "Inner");
    qm::ApplyLookAndFeel(form,
                         "TForm1<>Caption=form\r\n"
                         "TPanel.Inner<>Caption=by owner and name\r\n"
                         "TForm1.P<>Color=5\r\n"
                         "TPanel<>Color=4<>Caption=panel\r\n"
                         "TBox<>Caption=box");
    EXPECT_EQ(recorder.Values, (std::map<std::string, std::string>{
                                   {"Form.Caption", "form"},
                                   {"P.Color", "5"},
                                   {"P.Caption", "panel"},
                                   {"Inner.Caption", "by owner and name"},
                               }));
}

TEST(PropertyObject, FollowsDottedPathsAndReportsMisses) {
    TRecorder recorder;
    TPropertyObject box("TBox", "A");
    recorder.Define(box, "A");
    EXPECT_TRUE(box.SetProperty("FONT.NAME", "Tahoma"));
    EXPECT_FALSE(box.SetProperty("Font", "Tahoma"));
    EXPECT_FALSE(box.SetProperty("Font.Missing", "1"));
    EXPECT_FALSE(box.SetProperty("Caption.Text", "1"));
    EXPECT_FALSE(box.SetProperty("", "1"));
    EXPECT_EQ(recorder.Values, (std::map<std::string, std::string>{{"A.Font.Name", "Tahoma"}}));
}

}  // namespace
