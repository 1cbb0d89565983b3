// The error guard and the shell requests' rules every front end shares.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "UErrorGuard.h"
#include "UShellPolicy.h"

namespace qm {
namespace {

class TRecordingBox : public IMessageBox {
public:
    explicit TRecordingBox(std::vector<std::string>& shown) : FShown(shown) {}
    void ShowError(const std::string& title, const std::string& text) override { FShown.push_back(title + ": " + text); }

private:
    std::vector<std::string>& FShown;
};

TEST(AppShell, AFailingHandlerShowsItsMessageUnderTheTitleOnceTheExceptionIsGone) {
    std::vector<std::string> shown;
    std::unique_ptr<IMessageBox> before = ReplaceMessageBox(std::make_unique<TRecordingBox>(shown));
    EXPECT_FALSE(RunGuarded([] { throw std::runtime_error("Die Datei ist gesperrt"); }));
    EXPECT_FALSE(RunGuarded([] { throw 7; }));
    EXPECT_TRUE(RunGuarded([] {}));
    EXPECT_EQ(FailureOf([] { throw std::runtime_error("x"); }), "x");
    EXPECT_EQ(FailureOf([] {}), std::nullopt);
    EXPECT_EQ(shown, (std::vector<std::string>{"Quillmark: Die Datei ist gesperrt.", "Quillmark: Unbekannter Fehler."}));
    ReplaceMessageBox(std::move(before));
}

TEST(ShellJobs, QuotesAreStrippedForTheQueueAndAddedForTheShell) {
    EXPECT_EQ(StripEnclosingQuotes("\"C:\\a b.vcf\""), "C:\\a b.vcf");
    EXPECT_EQ(StripEnclosingQuotes("\"\"x\"\""), "\"x\"");
    EXPECT_EQ(StripEnclosingQuotes("\"\""), "\"\"");
    EXPECT_EQ(StripEnclosingQuotes("\"a"), "\"a");
    EXPECT_EQ(QuoteForShell("C:\\a b.vcf"), "\"C:\\a b.vcf\"");
    EXPECT_EQ(QuoteForShell("\"C:\\a.vcf\""), "\"C:\\a.vcf\"");
    EXPECT_EQ(QuoteForShell(""), "");
    EXPECT_EQ(ShellFailureText("https://x.org", false, "weg"), "Der Link \"https://x.org\" kann nicht ge\xC3\xB6" "ffnet werden: weg");
}

}  // namespace
}  // namespace qm
