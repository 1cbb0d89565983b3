// Whole-process measure of one record round trip, for comparison with other
// JSON implementations under /usr/bin/time:
//   json_roundtrip make <parts> <file>   writes a record with that many line items
//   json_roundtrip <file> <out>          loads, navigates and saves it as <out>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "UCommonCVJSON.h"
#include "UFileUtil.h"
#include "json_record.h"

int main(int argc, char** argv) {
    try {
        if (argc == 4 && std::string(argv[1]) == "make") {
            qm::WriteFileAtomic(argv[3], qm::bench::RecordText(std::atoi(argv[2])));
            return 0;
        }
        if (argc != 3) {
            std::fprintf(stderr, "usage: json_roundtrip make <parts> <file> | json_roundtrip <file> <out>\n");
            return 2;
        }
        qm::TCVJSONObject rec;
        rec.Load(argv[1]);
        if (!rec.IsValid()) return 1;
        std::size_t chars = 0;
        for (int i = 0; i < rec.Parts->Count(); ++i)
            chars += rec.Parts->ItemAt(i).AsObject().ValueOf("Description1").AsString().size();
        rec.LoadedDocument->SaveToFile(argv[2], true);
        std::printf("%s: %d parts, %zu description bytes\n", rec.DisplayText.c_str(), rec.Parts->Count(), chars);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
}
