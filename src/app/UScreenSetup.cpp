#include "UScreenSetup.h"

#include <algorithm>
#include <array>
#include <map>
#include <utility>

#include "UPlacement.h"
#include "UStringUtil.h"

namespace qm {

namespace {

constexpr TColor Rgb(int r, int g, int b) { return ColorRGB(r, g, b); }
constexpr TColor System(int index) { return SystemColor(index); }

struct TColorIdent {
    std::string_view Name;
    TColor Value;
};

// Colour identifiers. Plain colours are 0x00BBGGRR; system colours carry the
// desktop's colour index (the COLOR_* numbering of GetSysColor) above
// kSystemColorFlag. The "ec" names and "clGold" are this program's own palette.
// name                        value
constexpr std::array kColorIdents = std::to_array<TColorIdent>({
    {"clBlack", Rgb(0, 0, 0)},
    {"clMaroon", Rgb(128, 0, 0)},
    {"clGreen", Rgb(0, 128, 0)},
    {"clOlive", Rgb(128, 128, 0)},
    {"clNavy", Rgb(0, 0, 128)},
    {"clPurple", Rgb(128, 0, 128)},
    {"clTeal", Rgb(0, 128, 128)},
    {"clGray", Rgb(128, 128, 128)},
    {"clSilver", Rgb(192, 192, 192)},
    {"clRed", Rgb(255, 0, 0)},
    {"clLime", Rgb(0, 255, 0)},
    {"clYellow", Rgb(255, 255, 0)},
    {"clBlue", Rgb(0, 0, 255)},
    {"clFuchsia", Rgb(255, 0, 255)},
    {"clAqua", Rgb(0, 255, 255)},
    {"clLtGray", Rgb(192, 192, 192)},
    {"clDkGray", Rgb(128, 128, 128)},
    {"clWhite", Rgb(255, 255, 255)},
    {"clMoneyGreen", Rgb(192, 220, 192)},
    {"clSkyBlue", Rgb(166, 202, 240)},
    {"clCream", Rgb(255, 251, 240)},
    {"clMedGray", Rgb(160, 160, 164)},
    {"clNone", clNone},
    {"clDefault", clDefault},
    {"clScrollBar", System(0)},
    {"clBackground", System(1)},
    {"clActiveCaption", System(2)},
    {"clInactiveCaption", System(3)},
    {"clMenu", System(4)},
    {"clWindow", System(5)},
    {"clWindowFrame", System(6)},
    {"clMenuText", System(7)},
    {"clWindowText", System(8)},
    {"clCaptionText", System(9)},
    {"clActiveBorder", System(10)},
    {"clInactiveBorder", System(11)},
    {"clAppWorkSpace", System(12)},
    {"clHighlight", System(13)},
    {"clHighlightText", System(14)},
    {"clBtnFace", System(15)},
    {"clBtnShadow", System(16)},
    {"clGrayText", System(17)},
    {"clBtnText", System(18)},
    {"clInactiveCaptionText", System(19)},
    {"clBtnHighlight", System(20)},
    {"cl3DDkShadow", System(21)},
    {"cl3DLight", System(22)},
    {"clInfoText", System(23)},
    {"clInfoBk", System(24)},
    {"clHotLight", System(26)},
    {"clGradientActiveCaption", System(27)},
    {"clGradientInactiveCaption", System(28)},
    {"clMenuHighlight", System(29)},
    {"clMenuBar", System(30)},
    {"ecDarkBlue", Rgb(0, 0, 139)},
    {"ecBlue", Rgb(65, 105, 225)},
    {"ecLightBlue", Rgb(173, 216, 230)},
    {"ecDarkRed", Rgb(139, 0, 0)},
    {"ecRed", Rgb(220, 20, 60)},
    {"ecLightRed", Rgb(255, 182, 193)},
    {"ecDarkGreen", Rgb(0, 100, 0)},
    {"ecGreen", Rgb(34, 139, 34)},
    {"ecLightGreen", Rgb(144, 238, 144)},
    {"ecDarkYellow", Rgb(184, 134, 11)},
    {"ecYellow", Rgb(255, 236, 139)},
    {"ecLightYellow", Rgb(255, 255, 224)},
    {"ecDarkBrown", Rgb(101, 67, 33)},
    {"ecBrown", Rgb(165, 42, 42)},
    {"ecLightBrown", Rgb(210, 180, 140)},
    {"ecDarkKaki", Rgb(189, 183, 107)},
    {"ecKaki", Rgb(195, 176, 145)},
    {"ecLightKaki", Rgb(240, 230, 140)},
    {"clGold", Rgb(255, 215, 0)},
});

std::string AsciiLower(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    return out;
}

using TSettings = std::vector<std::pair<std::string, std::string>>;
using TLookAndFeel = std::map<std::string, TSettings>;

TLookAndFeel ParseLookAndFeel(std::string_view table) {
    TLookAndFeel dictionary;
    for (std::string line : SplitString("\r\n", table, 0, 0)) {
        const auto pieces = SplitString("<>", line, 0, 0);
        if (pieces.size() < 2) continue;
        TSettings settings;
        for (std::size_t i = 1; i < pieces.size(); ++i) {
            auto setting = SplitString("=", pieces[i], 0, 0);
            if (setting.size() == 2) settings.emplace_back(std::move(setting[0]), std::move(setting[1]));
        }
        dictionary[AsciiLower(pieces[0])] = std::move(settings);
    }
    return dictionary;
}

void ApplySettings(const TPropertyObject& object, const TLookAndFeel& dictionary, const std::string& key) {
    const auto it = dictionary.find(AsciiLower(key));
    if (it == dictionary.end()) return;
    for (const auto& [path, value] : it->second) object.SetProperty(path, value);
}

void ApplyByClass(const TPropertyObject& owner, const TLookAndFeel& dictionary) {
    for (const auto& component : owner.Components()) {
        ApplySettings(*component, dictionary, component->ClassName());
        ApplyByClass(*component, dictionary);
    }
}

void ApplyByOwnerAndName(const TPropertyObject& owner, const TLookAndFeel& dictionary) {
    for (const auto& component : owner.Components()) {
        ApplySettings(*component, dictionary, owner.ClassName() + "." + component->Name());
        ApplyByOwnerAndName(*component, dictionary);
    }
}

}  // namespace

std::optional<TColor> IdentToColor(std::string_view ident) {
    const std::string key = AsciiLower(ident);
    for (const TColorIdent& entry : kColorIdents)
        if (AsciiLower(entry.Name) == key) return entry.Value;
    return std::nullopt;
}

std::optional<int> SystemColorIndex(TColor color) noexcept {
    if (color < kSystemColorFlag || color > kSystemColorFlag + 30) return std::nullopt;
    return static_cast<int>(color - kSystemColorFlag);
}

std::optional<TRgb> PlainColorToRgb(TColor color) noexcept {
    if (color > 0x00FFFFFF) return std::nullopt;
    return TRgb{static_cast<std::uint8_t>(color & 0xFF), static_cast<std::uint8_t>((color >> 8) & 0xFF),
                static_cast<std::uint8_t>((color >> 16) & 0xFF)};
}

struct TPropertyObject::TProperty {
    std::string Name;
    std::variant<TOrdinalSetter, TStringSetter, std::unique_ptr<TPropertyObject>> Value;
};

TPropertyObject::TPropertyObject(std::string className, std::string name, bool isForm)
    : FClassName(std::move(className)), FName(std::move(name)), FIsForm(isForm) {}

TPropertyObject::~TPropertyObject() = default;

TPropertyObject::TProperty* TPropertyObject::Find(std::string_view name) const {
    const std::string key = AsciiLower(name);
    for (const auto& property : FProperties)
        if (AsciiLower(property->Name) == key) return property.get();
    return nullptr;
}

TPropertyObject::TProperty& TPropertyObject::Slot(std::string_view name) {
    if (TProperty* existing = Find(name)) return *existing;
    FProperties.push_back(std::make_unique<TProperty>());
    FProperties.back()->Name = std::string(name);
    return *FProperties.back();
}

void TPropertyObject::DefineOrdinal(std::string_view property, TOrdinalSetter setter) {
    Slot(property).Value = std::move(setter);
}

void TPropertyObject::DefineString(std::string_view property, TStringSetter setter) {
    Slot(property).Value = std::move(setter);
}

TPropertyObject& TPropertyObject::DefineObject(std::string_view property, std::string className) {
    auto object = std::make_unique<TPropertyObject>(std::move(className), std::string(property));
    TPropertyObject& result = *object;
    Slot(property).Value = std::move(object);
    return result;
}

TPropertyObject& TPropertyObject::AddComponent(std::string className, std::string name) {
    FComponents.push_back(std::make_unique<TPropertyObject>(std::move(className), std::move(name)));
    return *FComponents.back();
}

bool TPropertyObject::SetProperty(std::string_view path, const std::string& value) const {
    const std::size_t dot = path.find('.');
    const TProperty* property = Find(path.substr(0, dot));
    if (!property) return false;
    if (dot != std::string_view::npos) {
        const auto* object = std::get_if<std::unique_ptr<TPropertyObject>>(&property->Value);
        return object && (*object)->SetProperty(path.substr(dot + 1), value);
    }
    if (const auto* setOrdinal = std::get_if<TOrdinalSetter>(&property->Value)) {
        (*setOrdinal)(IdentToColor(value).value_or(StrToIntDef(value, 0)));
        return true;
    }
    if (const auto* setString = std::get_if<TStringSetter>(&property->Value)) {
        (*setString)(value);
        return true;
    }
    return false;
}

// The other lines name component classes of the host's own forms; only the
// TPanel line matches a component of the dialog.
const std::string_view kLookAndFeelTable =
    "TPanel<>Color=clwhite<>Font.Name=Tahoma\r\n"
    "TStringGrid<>Color=clwhite<>FixedColor=clBtnFace<>Font.Name=Tahoma\r\n"
    "TDrawGrid<>Color=clwhite<>FixedColor=clBtnFace<>Font.Name=Tahoma\r\n"
    "TSpeedButton<>Flat=1<>Font.Name=Tahoma\r\n"
    "TMainMenu<>OwnerDraw=1\r\n"
    "TPopupMenu<>OwnerDraw=1\r\n"
    "TListBox<>Color=clwhite<>Font.Name=Tahoma\r\n"
    "TComboBox<>Color=clwhite<>Font.Name=Tahoma\r\n"
    "TEdit<>Color=clwhite<>Font.Name=Tahoma\r\n"
    "TMemo<>Color=clwhite<>Font.Name=Tahoma";

void ApplyLookAndFeel(const TPropertyObject& form, std::string_view table) {
    if (!form.IsForm()) return;
    const TLookAndFeel dictionary = ParseLookAndFeel(table);
    ApplySettings(form, dictionary, form.ClassName());
    ApplyByClass(form, dictionary);
    ApplyByOwnerAndName(form, dictionary);
}

void ApplyScreenSetup(const TPropertyObject& form, [[maybe_unused]] bool scaleToScreen) {
    ApplyLookAndFeel(form, kLookAndFeelTable);
}

}  // namespace qm
