#include "UCommonCVJSON.h"

namespace qm {

void TCVJSONObject::Reset() noexcept {
    DisplayText = kInvalidJsonData;
    Order = nullptr;
    Adress = nullptr;
    Parts = nullptr;
    Document.Clear();
}

void TCVJSONObject::Load(std::string_view nameOrText, bool isText, bool tryBackup) {
    Reset();
    if (nameOrText.empty()) return;
    if (isText)
        Document.Parse(nameOrText);
    else
        Document.LoadFromFile(std::string(nameOrText), tryBackup, false);
    FindParts();
}

void TCVJSONObject::LoadDocument(TFastJSON&& document) {
    Reset();
    Document = std::move(document);
    FindParts();
}

void TCVJSONObject::FindParts() {
    LoadedDocument = &Document;
    // The look-ups add what is missing, so the document may change here.
    Order = &Document.ValueOf("Order").AsArray().ItemAt(0);
    TJsonObject& order = Order->AsObject();
    Adress = &order.ValueOf("Adress").AsArray().ItemAt(0);
    Parts = &order.ValueOf("Parts").AsArray();
    if (IsValid()) {
        // One look-up after the other: each may add its key, in this order.
        std::string text = order.ValueOf("PrintName").AsString();
        text += ' ';
        text += order.ValueOf("PrintUID").AsString();
        text += ' ';
        text += Adress->AsObject().ValueOf("adresssmart").AsString();
        DisplayText = std::move(text);
    } else {
        DisplayText = kInvalidJsonData;
    }
}

}  // namespace qm
