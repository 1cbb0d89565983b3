// Field names of the host address record, as the host writes them. The
// program reads only a few of them (see UCommonCVJSON.h); the lists name the
// whole record for test data and for the host's developers. Key look-ups
// ignore ASCII letter case.
#pragma once

#include <array>
#include <string_view>

namespace qm {

// Keys of the record's arrays.
// | record level (3) |
inline constexpr std::array<std::string_view, 3> kRecordFieldNames = {"Adress", "Order", "Parts"};

// Keys of one address object.
// | address (44): main address, delivery address, group, R1..R10, L1..L10 |
inline constexpr std::array<std::string_view, 44> kAddressFieldNames = {
    "CustomerNumber", "AdressFull", "AdressSmart", "Company", "Salutation", "Salutation1", "Salutation2",
    "FirstName", "LastName", "Street", "ZipCode", "Town", "Country",
    "AdressDeliverFull", "DeliverCompany", "DeliverSalutation1", "DeliverSalutation2", "DeliverFirstName",
    "DeliverLastName", "DeliverStreet", "DeliverZipCode", "DeliverTown", "DeliverCountry",
    "Group",
    "R1", "R2", "R3", "R4", "R5", "R6", "R7", "R8", "R9", "R10",
    "L1", "L2", "L3", "L4", "L5", "L6", "L7", "L8", "L9", "L10"};

// Keys of one order object.
// | order (27): identity, status, people, Info1..Info10, texts, prices |
inline constexpr std::array<std::string_view, 27> kOrderFieldNames = {
    "Date", "ID", "UID", "PrintName", "InternalStatus", "InternalType", "Human.Creator", "Human.Editor",
    "UserName", "RessourceName",
    "Info1", "Info2", "Info3", "Info4", "Info5", "Info6", "Info7", "Info8", "Info9", "Info10",
    "Intern", "HeaderText", "ExHeader", "FooterText", "ReferenzText", "ReferenzDate", "NettoPrices"};

// Keys of one line item of "Parts".
// | line item (20) |
inline constexpr std::array<std::string_view, 20> kLineItemFieldNames = {
    "CurrentRow", "Position", "Quantity", "Unit", "Description1", "Description2", "Number",
    "DeliverNumber", "SerialNumber", "LongText", "Price", "Rabatt", "TaxRate", "Total", "TypLine",
    "User", "Row", "ID", "Intern", "L2"};

}  // namespace qm
