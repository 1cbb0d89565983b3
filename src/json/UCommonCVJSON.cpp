#include "UCommonCVJSON.h"

namespace qm {

void TCVJSONObject::Load(std::string_view nameOrText, bool isText, bool tryBackup) {
    DisplayText = kInvalidJsonData;
    Order = nullptr;
    Adress = nullptr;
    Parts = nullptr;
    Document.Clear();
    if (nameOrText.empty()) return;
    if (isText)
        Document.Parse(nameOrText);
    else
        Document.LoadFromFile(std::string(nameOrText), tryBackup, false);
    LoadedDocument = &Document;

    // The look-ups add what is missing, so the document may change here.
    Order = &Document.ValueOf("Order").AsArray().ItemAt(0);
    TJsonObject& order = Order->AsObject();
    Adress = &order.ValueOf("Adress").AsArray().ItemAt(0);
    Parts = &order.ValueOf("Parts").AsArray();
    if (IsValid()) {
        DisplayText = order.ValueOf("PrintName").AsString() + " " + order.ValueOf("PrintUID").AsString() + " " +
                      Adress->AsObject().ValueOf("adresssmart").AsString();
    } else {
        DisplayText = kInvalidJsonData;
    }
}

}  // namespace qm
