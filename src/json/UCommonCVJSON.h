// The host address record: the JSON file the host writes for its current
// address, loaded into a document, with the three parts the dialog works
// with (the first order, its first address, its line items) and a one-line
// description for the window caption.
#pragma once

#include <string>
#include <string_view>

#include "UFastJSON.h"

namespace qm {

// DisplayText when no usable record was loaded.
inline constexpr std::string_view kInvalidJsonData = "Invalid JSON Data";

class TCVJSONObject {
public:
    TCVJSONObject() = default;
    TCVJSONObject(const TCVJSONObject&) = delete;
    TCVJSONObject& operator=(const TCVJSONObject&) = delete;

    // Loads a record from the file `nameOrText` (or, with `isText`, from
    // that text) and finds its parts:
    // - DisplayText becomes "Invalid JSON Data", the navigation fields none,
    //   the document empty; an empty `nameOrText` stops here;
    // - a file is read with LoadFromFile(tryBackup, reraise off): a missing,
    //   unreadable or broken file is no error here (the ".~json" copy is
    //   tried when `tryBackup` is set); a text is parsed and may raise the
    //   parse error;
    // - Order = element 0 of "Order", Adress = element 0 of its "Adress",
    //   Parts = its "Parts" (missing keys are added to the document and an
    //   absent "Parts" becomes an empty array);
    // - when valid, DisplayText = PrintName + " " + PrintUID + " " +
    //   adresssmart.
    // Raises EListError ("... Maximum (0)") when "Order" or "Adress" is
    // missing or empty, and the value type error when either is not an array
    // of objects; DisplayText then stays "Invalid JSON Data".
    void Load(std::string_view nameOrText, bool isText = false, bool tryBackup = true);
    // The same for a document the caller has loaded already (it is moved in):
    // the steps after the parse, with the same results and errors.
    void LoadDocument(TFastJSON&& document);

    // True exactly when Order, Adress and Parts are all set.
    bool IsValid() const noexcept { return Order && Adress && Parts; }

    // "Invalid JSON Data" or the description built by Load; "" before the
    // first Load.
    std::string DisplayText;
    TFastJSON Document;
    // Point into Document; valid until the next Load or the destruction.
    TJsonValue* Order = nullptr;
    TJsonValue* Adress = nullptr;
    TJsonArray* Parts = nullptr;
    // Document after a Load of a non-empty name or text; null before.
    TFastJSON* LoadedDocument = nullptr;

private:
    void Reset() noexcept;
    // LoadedDocument, the navigation fields and DisplayText from Document.
    void FindParts();
};

}  // namespace qm
