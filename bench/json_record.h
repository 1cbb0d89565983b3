// Host address records of a chosen size for the JSON benchmarks: one order
// with one address and `parts` line items, every field of the name lists
// filled, umlauts and line breaks in the texts (written as "\u" escapes).
#pragma once

#include <string>

#include "UFastJSON.h"
#include "UJSONConst.h"

namespace qm::bench {

inline void FillRecord(TFastJSON& doc, int parts) {
    doc.Clear();
    TJsonObject& order = doc.ValueOf("Order").AsArray().AddItem().AsObject();
    for (std::string_view name : kOrderFieldNames) order.ValueOf(name).SetString("Wert für " + std::string(name));
    order.ValueOf("PrintName").SetString("Rechnung");
    order.ValueOf("PrintUID").SetString("RE-2024-0042");
    TJsonObject& adress = order.ValueOf("Adress").AsArray().AddItem().AsObject();
    for (std::string_view name : kAddressFieldNames) adress.ValueOf(name).SetString("Müller " + std::string(name));
    adress.ValueOf("IX").SetString("Tel. 0891234567 Fax 0891234568 juergen@mueller.example");
    TJsonArray& items = order.ValueOf("Parts").AsArray();
    for (int i = 0; i < parts; ++i) {
        TJsonObject& item = items.AddItem().AsObject();
        const std::string n = std::to_string(i);
        item.ValueOf("CurrentRow").SetNumber(i);
        item.ValueOf("Position").SetNumber(i + 1);
        item.ValueOf("Quantity").SetNumber(2.5L);
        item.ValueOf("Unit").SetString("Stk");
        item.ValueOf("Description1").SetString("Artikel " + n + " – Größe M");
        item.ValueOf("Description2").SetString("Farbe: grün/weiß");
        item.ValueOf("Number").SetString("A-" + n);
        item.ValueOf("DeliverNumber").SetString("L-" + n);
        item.ValueOf("SerialNumber").SetString("SN" + n);
        item.ValueOf("LongText").SetString("Lieferung frei Haus.\nZahlbar innerhalb 14 Tagen ohne Abzug, \"netto\".");
        item.ValueOf("Price").SetNumber(12.34L);
        item.ValueOf("Rabatt").SetNumber(0);
        item.ValueOf("TaxRate").SetNumber(19);
        item.ValueOf("Total").SetNumber(30.85L);
        item.ValueOf("TypLine").SetNumber(0);
        item.ValueOf("User").SetString("");
        item.ValueOf("Row").SetNumber(i);
        item.ValueOf("ID").SetNumber(100000 + i);
        item.ValueOf("Intern").SetBoolean(false);
        item.ValueOf("L2").SetNull();
    }
}

// The record's file text, formatted as the host writes it.
inline std::string RecordText(int parts) {
    TFastJSON doc;
    FillRecord(doc, parts);
    TJSONFormatter f("\r\n", 2);
    std::string text;
    doc.WriteToStream(text, &f);
    return text;
}

// Number of line items that makes the record text about `bytes` long.
inline int PartsForBytes(std::size_t bytes) {
    const std::size_t base = RecordText(0).size();
    const std::size_t perPart = (RecordText(100).size() - base) / 100;
    return bytes <= base ? 0 : static_cast<int>((bytes - base) / perPart);
}

}  // namespace qm::bench
