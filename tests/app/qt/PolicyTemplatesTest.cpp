// The Group Policy templates shipped for Windows (data/policy): well-formed
// XML, the policy under the key, value name and values the registry store
// and the setting's description use, and every text and presentation the
// template refers to defined in each language. Read here with QtCore's XML
// reader; the files themselves are platform-free.
#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "USettingsStore.h"

namespace {

struct TElement {
    QString Name;
    QXmlStreamAttributes Attributes;
    QString Text;  // its own text, without that of its children
};

// The elements of `file` in document order. Fails the test when the file
// is missing or not well-formed XML.
std::vector<TElement> ReadElements(const std::string& file) {
    QFile in(QString::fromStdString(file));
    EXPECT_TRUE(in.open(QIODevice::ReadOnly)) << file;
    QXmlStreamReader xml(&in);
    std::vector<TElement> elements;
    std::vector<std::size_t> open;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            open.push_back(elements.size());
            elements.push_back({xml.name().toString(), xml.attributes(), {}});
        } else if (xml.isEndElement() && !open.empty()) {
            open.pop_back();
        } else if (xml.isCharacters() && !open.empty()) {
            elements[open.back()].Text += xml.text();
        }
    }
    EXPECT_FALSE(xml.hasError()) << file << ":" << xml.lineNumber() << ": " << xml.errorString().toStdString();
    return elements;
}

std::string Attribute(const TElement& element, const char* name) {
    return element.Attributes.value(QLatin1String(name)).toString().toStdString();
}

TEST(PolicyTemplates, NameTheSettingsKeyValueAndValuesAndDefineWhatTheyReferTo) {
    const std::string folder = QM_SOURCE_DIR "/data/policy/";
    const std::vector<TElement> admx = ReadElements(folder + "Quillmark.admx");
    std::set<std::string> strings, presentations;  // referred to as $(string.id), $(presentation.id)
    std::vector<std::string> values;
    std::string enumId;
    int policies = 0;
    const QRegularExpression reference(R"(^\$\((string|presentation)\.(.+)\)$)");
    for (const TElement& element : admx) {
        for (const QXmlStreamAttribute& attribute : element.Attributes) {
            const QRegularExpressionMatch match = reference.match(attribute.value().toString());
            if (match.hasMatch())
                (match.captured(1) == "string" ? strings : presentations).insert(match.captured(2).toStdString());
        }
        if (element.Name == "policy") {
            ++policies;
            EXPECT_EQ(Attribute(element, "key"), qm::kRegistryPolicyKey);
            EXPECT_EQ(Attribute(element, "class"), "Both");  // machine and user policy
        } else if (element.Name == "enum") {
            EXPECT_EQ(Attribute(element, "valueName"), qm::kVCardVersion.Key);
            enumId = Attribute(element, "id");
        } else if (element.Name == "string") {  // an enumeration item's REG_SZ value
            values.push_back(element.Text.toStdString());
        }
    }
    EXPECT_EQ(policies, 1);
    std::vector<std::string> expected;
    for (const auto& value : qm::kVCardVersion.Values) expected.emplace_back(value.Text);
    std::ranges::sort(values);
    std::ranges::sort(expected);
    EXPECT_EQ(values, expected);

    for (const char* language : {"en-US", "de-DE"}) {
        SCOPED_TRACE(language);
        std::set<std::string> definedStrings, definedPresentations, dropdowns;
        for (const TElement& element : ReadElements(folder + language + "/Quillmark.adml")) {
            if (element.Name == "string") definedStrings.insert(Attribute(element, "id"));
            if (element.Name == "presentation") definedPresentations.insert(Attribute(element, "id"));
            if (element.Name == "dropdownList") dropdowns.insert(Attribute(element, "refId"));
        }
        EXPECT_TRUE(std::ranges::includes(definedStrings, strings));
        EXPECT_TRUE(std::ranges::includes(definedPresentations, presentations));
        EXPECT_EQ(dropdowns, std::set<std::string>{enumId});
    }
}

}  // namespace
