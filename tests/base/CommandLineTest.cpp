// Text written for a terminal: output that is not a terminal (a file here,
// as when redirected) gets the UTF-8 bytes unchanged, after what the stream
// held already.
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "UCommandLine.h"

TEST(CommandLine, RedirectedTextStaysUtf8BytesInOrder) {
    const std::unique_ptr<std::FILE, decltype(&std::fclose)> file(std::tmpfile(), &std::fclose);
    ASSERT_TRUE(file);
    EXPECT_FALSE(qm::IsTerminal(file.get()));
    std::fputs("vorher ", file.get());  // still in the stream's buffer
    const std::string texts[] = {"J\xC3\xBCrgen M\xC3\xBCller\n", "\r\x1B[K", "MAIN\b4242", ""};
    std::string expected = "vorher ";
    for (const std::string& text : texts) {
        EXPECT_TRUE(qm::WriteText(file.get(), text));
        expected += text;
    }
    std::rewind(file.get());
    std::string read(expected.size() + 8, '\0');
    read.resize(std::fread(read.data(), 1, read.size(), file.get()));
    EXPECT_EQ(read, expected);
}
