// Arbitrary bytes as a JSON document. Whatever parses must write back in the
// file form, the text form and the compact form to texts that parse again,
// and writing the re-parsed document must give the same text (the round
// trip is stable). Every name and string read out of a document is valid
// UTF-8, whatever bytes and escapes the text holds. The host record built on
// the same text may fail with its messages, but never otherwise.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "UCommonCVJSON.h"
#include "UFastJSON.h"
#include "UTextEncoding.h"

namespace {

std::string Written(const qm::TFastJSON& doc, bool formatted, bool textForm) {
    qm::TJSONFormatter f("\r\n", 2);
    qm::TJSONFormatter* fmt = formatted ? &f : nullptr;
    if (textForm) return doc.ToText(fmt);
    std::string out;
    doc.WriteToStream(out, fmt);
    return out;
}

void CheckUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const qm::TDecodedChar d = qm::DecodeUtf8Char(s.substr(i));
        if (qm::IsEscapedByte(d.CodePoint)) std::abort();
        i += d.Length;
    }
}

void CheckStrings(const qm::TJsonValue& value);

void CheckStrings(const qm::TJsonObject& object) {
    for (int i = 0; i < object.Count(); ++i) {
        const qm::TJsonPair& pair = object.PairAt(i);
        CheckUtf8(pair.Name);
        CheckStrings(pair.Value);
    }
}

void CheckStrings(const qm::TJsonArray& array) {
    for (int i = 0; i < array.Count(); ++i) CheckStrings(array.ItemAt(i));
}

void CheckStrings(const qm::TJsonValue& value) {
    if (const qm::TJsonObject* o = value.ObjectOrNull()) return CheckStrings(*o);
    if (const qm::TJsonArray* a = value.ArrayOrNull()) return CheckStrings(*a);
    CheckUtf8(value.AsString());
}

void CheckStable(const qm::TFastJSON& doc, bool formatted, bool textForm) {
    const std::string first = Written(doc, formatted, textForm);
    qm::TFastJSON again;
    try {
        again.Parse(first);
    } catch (const qm::EQuillmarkError&) {
        std::abort();  // our own output must parse
    }
    if (Written(again, formatted, textForm) != first) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    qm::TFastJSON doc;
    try {
        doc.Parse(text);
    } catch (const qm::EQuillmarkError&) {
        return 0;
    }
    if (const qm::TJsonObject* o = doc.RootObject()) CheckStrings(*o);
    if (const qm::TJsonArray* a = doc.RootArray()) CheckStrings(*a);
    CheckStable(doc, true, false);
    CheckStable(doc, false, false);
    CheckStable(doc, true, true);

    qm::TCVJSONObject rec;
    try {
        rec.Load(text, true);
        if (rec.IsValid()) {
            for (std::string_view key : {"IX", "FirstName", "LastName", "Company", "Street", "Town", "ZipCode"})
                CheckUtf8(rec.Adress->AsObject().ValueOf(key).AsString());
            CheckUtf8(rec.DisplayText);
        }
    } catch (const qm::EQuillmarkError&) {
    }
    return 0;
}
