// Arbitrary bytes as a JSON document. Whatever parses must write back in the
// file form, the text form and the compact form to texts that parse again,
// and writing the re-parsed document must give the same text (the round
// trip is stable). The host record built on the same text may fail with
// its messages, but never otherwise.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "UCommonCVJSON.h"
#include "UFastJSON.h"

namespace {

std::string Written(const qm::TFastJSON& doc, bool formatted, bool textForm) {
    qm::TJSONFormatter f("\r\n", 2);
    qm::TJSONFormatter* fmt = formatted ? &f : nullptr;
    if (textForm) return doc.ToText(fmt);
    std::string out;
    doc.WriteToStream(out, fmt);
    return out;
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
    CheckStable(doc, true, false);
    CheckStable(doc, false, false);
    CheckStable(doc, true, true);

    qm::TCVJSONObject rec;
    try {
        rec.Load(text, true);
        if (rec.IsValid()) {
            for (std::string_view key : {"IX", "FirstName", "LastName", "Company", "Street", "Town", "ZipCode"})
                (void)rec.Adress->AsObject().ValueOf(key).AsString();
        }
    } catch (const qm::EQuillmarkError&) {
    }
    return 0;
}
