#include <gtest/gtest.h>

#include <thread>

#include "HostProcess.h"
#include "UErrors.h"
#include "UExchangeFile.h"
#include "UHost.h"
#include "UHostRequest.h"

using namespace qm;
using namespace qm::test;

TEST(HostOptions, ParsesEveryOption) {
    const THostOptions o = ParseHostOptions({"--name", "N", "--record", "r.json", "--metrics", "1,2", "--dbpath",
                                             "D", "--default", "--slow", "5", "--piece", "3", "--reply-size", "-1",
                                             "--claim-pid", "42", "--truncate", "9", "--reply-id", "X", "-v",
                                             "--launch", "prog", "--name", "child-arg"});
    EXPECT_EQ(o.Name, "N");
    EXPECT_EQ(o.RecordFile, "r.json");
    EXPECT_EQ(o.Metrics, "1,2");
    EXPECT_EQ(o.DbPath, "D");
    EXPECT_TRUE(o.AsDefault);
    EXPECT_EQ(o.Slow, std::chrono::milliseconds(5));
    EXPECT_EQ(o.Piece, 3u);
    EXPECT_EQ(o.ReplySize, -1);
    EXPECT_EQ(o.ClaimPid, 42);
    EXPECT_EQ(o.Truncate, 9u);
    EXPECT_EQ(o.ReplyId, "X");
    EXPECT_TRUE(o.Verbose);
    EXPECT_EQ(o.Launch, (std::vector<std::string>{"prog", "--name", "child-arg"}));  // the child's own
}

TEST(HostOptions, RefusesMistakes) {
    EXPECT_THROW(ParseHostOptions({"--name"}), EQuillmarkError);
    EXPECT_THROW(ParseHostOptions({"--name", "a/b"}), EQuillmarkError);
    EXPECT_THROW(ParseHostOptions({"--name", ".."}), EQuillmarkError);
    EXPECT_THROW(ParseHostOptions({"--slow", "-1"}), EQuillmarkError);
    EXPECT_THROW(ParseHostOptions({"--piece", "0"}), EQuillmarkError);
    EXPECT_THROW(ParseHostOptions({"--claim-pid", "12x"}), EQuillmarkError);
    EXPECT_THROW(ParseHostOptions({"--launch"}), EQuillmarkError);
    // A line break would write two exchange-file lines, a backspace break
    // the SERVERPROCESS reply.
    for (const char* name : {"ab\ncd", "ab\rcd", "a\bc", "tab\there", "del\x7f"}) {
        EXPECT_THROW(ParseHostOptions({"--name", name}), EQuillmarkError) << name;
    }
    EXPECT_EQ(ParseHostOptions({"--name", "Müller 2"}).Name, "Müller 2");
    EXPECT_THROW(ParseHostOptions({"extra"}), EQuillmarkError);
    EXPECT_NE(HostUsage().find("--launch PROG ARGS"), std::string::npos);
}

TEST(HostOptions, AnswersCommands) {
    TTempDirEnv env;
    THostOptions o;
    o.Name = "N";
    o.Metrics = "5,6";
    o.DbPath = "/db";
    std::string problem;
    EXPECT_EQ(AnswerCommand(o, "SERVERPROCESS", 1234, problem), "N\b1234");
    o.ClaimPid = 99;
    EXPECT_EQ(AnswerCommand(o, "SERVERPROCESS", 1234, problem), "N\b99");
    EXPECT_EQ(AnswerCommand(o, "CORVANTAMETRICS", 1, problem), "5,6");
    EXPECT_EQ(AnswerCommand(o, "DBPATH", 1, problem), "/db");
    EXPECT_EQ(AnswerCommand(o, "GETJSONADRESS", 1, problem), "");
    EXPECT_EQ(problem, "");
    o.RecordFile = env.Root() + "/missing.json";
    EXPECT_EQ(AnswerCommand(o, "GETJSONADRESS", 1, problem), "");
    EXPECT_NE(problem.find("missing.json"), std::string::npos);
    problem.clear();
    EXPECT_EQ(AnswerCommand(o, "dbpath", 1, problem), "");  // commands are case-sensitive
    EXPECT_EQ(problem, "unknown command \"dbpath\"");
}

TEST(ExchangeFile, ConcurrentEditsLoseNoLine) {
    TTempDirEnv env;
    AddExchangeServer("FIRST", false);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 10; ++i) {
                const std::string name = "T" + std::to_string(t) + "-" + std::to_string(i);
                AddExchangeServer(name, i % 2 == 0);
                if (i % 3 == 0) RemoveExchangeServer(name);
            }
        });
    }
    for (auto& th : threads) th.join();
    TStringList lines;
    ReadExchangeServerList(&lines);
    EXPECT_EQ(lines.Count(), 1u + 8 * 6);  // 10 added, 4 of them removed again, per thread
    EXPECT_NE(lines.IndexOf("FIRST"), -1);
    AddExchangeServer("FIRST", true);  // moves, does not double
    EXPECT_EQ(ReadExchangeServerList(&lines), "FIRST");
    EXPECT_EQ(lines.Count(), 1u + 8 * 6);
}
