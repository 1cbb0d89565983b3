// Screen set-up of a form: the look-and-feel defaults, applied by class name
// and property path through a small property mechanism of our own, and the
// colour identifiers those settings may use. No DPI scaling happens here: the
// dialog's layout at the window's density is UDialogLayout.h's.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "UColor.h"

namespace qm {


// The colour of a colour identifier ("clWhite", "clBtnFace", "ecDarkBlue",
// "clGold", ...), matched ignoring letter case; nullopt for any other text.
std::optional<TColor> IdentToColor(std::string_view ident);

// The system colour index of a system colour value (0..30), else nullopt.
std::optional<int> SystemColorIndex(TColor color) noexcept;

// Red, green and blue of a plain colour value (0x00BBGGRR); nullopt for system
// colours, clNone, clDefault and values outside 0..0x00FFFFFF.
struct TRgb {
    std::uint8_t R = 0;
    std::uint8_t G = 0;
    std::uint8_t B = 0;
    friend bool operator==(const TRgb&, const TRgb&) = default;
};
std::optional<TRgb> PlainColorToRgb(TColor color) noexcept;

// An object seen through the property mechanism: a class name, a component
// name, named properties (ordinal, string, or a sub-object reached by a dotted
// path such as "Font.Name") and the components it owns. Property names match
// ignoring ASCII letter case. The setters act on the real object (a widget);
// the tree owns its sub-objects and components.
class TPropertyObject {
public:
    using TOrdinalSetter = std::function<void(std::int64_t)>;
    using TStringSetter = std::function<void(const std::string&)>;

    // `isForm` marks the top-level window the screen set-up applies to.
    TPropertyObject(std::string className, std::string name, bool isForm = false);
    TPropertyObject(const TPropertyObject&) = delete;
    TPropertyObject& operator=(const TPropertyObject&) = delete;
    ~TPropertyObject();

    const std::string& ClassName() const noexcept { return FClassName; }
    const std::string& Name() const noexcept { return FName; }
    bool IsForm() const noexcept { return FIsForm; }

    // Defining a name again replaces the earlier definition.
    void DefineOrdinal(std::string_view property, TOrdinalSetter setter);
    void DefineString(std::string_view property, TStringSetter setter);
    // A sub-object property (such as "Font"); the returned object lives as long as this one.
    TPropertyObject& DefineObject(std::string_view property, std::string className);

    // A component owned by this object; it lives as long as this one.
    TPropertyObject& AddComponent(std::string className, std::string name);
    std::span<const std::unique_ptr<TPropertyObject>> Components() const noexcept { return FComponents; }

    // Follows `path` through sub-objects by its dotted names and sets the
    // property at its end: an ordinal property takes the colour of a colour
    // identifier, else the value as an integer (0 when not a number); a string
    // property takes the value unchanged. Returns false (and changes nothing)
    // when a name on the path is not a property of the right kind.
    bool SetProperty(std::string_view path, const std::string& value) const;

private:
    struct TProperty;
    TProperty* Find(std::string_view name) const;
    TProperty& Slot(std::string_view name);

    std::string FClassName;
    std::string FName;
    bool FIsForm;
    std::vector<std::unique_ptr<TProperty>> FProperties;
    std::vector<std::unique_ptr<TPropertyObject>> FComponents;
};

// The built-in look-and-feel table: lines separated by CR LF, each a class
// name followed by settings "path=value", all separated by "<>". Of the
// dialog's components only the client panel (a "TPanel") matches.
extern const std::string_view kLookAndFeelTable;

// Applies a look-and-feel table to `form`: a dictionary is built from the
// lines (class name matched ignoring ASCII case; a line without "<>" is
// skipped; a setting is used only when it splits at "=" into exactly two
// pieces; a later line for the same class replaces an earlier one).
// First pass: the form and, recursively, every component it owns get the
// settings of their class name. Second pass: every owned component gets the
// settings keyed "<owner's class name>.<component name>". Settings naming a
// property the object lacks are ignored. Does nothing unless form.IsForm().
void ApplyLookAndFeel(const TPropertyObject& form, std::string_view table);

// Screen set-up of a form at creation: no scaling of the form takes place
// here whatever `scaleToScreen` says (the controller lays the dialog out at
// its window's density, UDialogLayout.h); the built-in look-and-feel table is
// applied (ApplyLookAndFeel).
void ApplyScreenSetup(const TPropertyObject& form, bool scaleToScreen);

}  // namespace qm
