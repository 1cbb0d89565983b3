// The shell request pool on Windows: five jobs at once and never more, each
// with COM initialised, every queued job run, a refused request told.
#include <gtest/gtest.h>

#include "UWinApi.h"

#include <objbase.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "TGate.h"
#include "UShellJobs.h"
#include "UWinText.h"

namespace qm {
namespace {

TEST(ShellJobs, FiveJobsRunAtOnceNeverASixthEachWithComAndEveryJobRuns) {
    constexpr int kJobs = kShellWorkerThreads + 2;
    test::TGate gate;
    std::atomic<int> done{0};
    std::atomic<int> withoutCom{0};
    {
        TWorkerThreadPool pool;
        for (int i = 0; i < kJobs; ++i) {
            pool.Queue([&] {
                // S_FALSE: COM was initialised on this thread already.
                const HRESULT again = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
                if (again != S_FALSE) ++withoutCom;
                if (SUCCEEDED(again)) CoUninitialize();
                gate.Enter();
                ++done;
            });
        }
        pool.Queue([] { throw std::runtime_error("swallowed"); });
        // Five are held at the gate at once; a sixth thread would take the
        // next job at once, so a short look finds it.
        EXPECT_TRUE(gate.WaitForMoreThan(kShellWorkerThreads - 1, std::chrono::seconds(20))) << gate.Entered();
        EXPECT_FALSE(gate.WaitForMoreThan(kShellWorkerThreads, std::chrono::milliseconds(200)));
        EXPECT_EQ(pool.ThreadCount(), kShellWorkerThreads);
        gate.Open();
        pool.WaitForDone();
        EXPECT_EQ(done, kJobs);
    }
    EXPECT_EQ(withoutCom, 0);
}

TEST(ShellJobs, TheEndWaitsForAHangingCallOnlyUntilItsLimitAndDropsWhatDidNotStart) {
    const auto release = std::make_shared<std::atomic<bool>>(false);
    const auto ran = std::make_shared<std::atomic<int>>(0);
    const auto start = std::chrono::steady_clock::now();
    {
        TWorkerThreadPool pool(1, std::chrono::milliseconds(300));
        pool.Queue([release, ran] {
            ++*ran;
            while (!*release) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        });
        pool.Queue([ran] { *ran += 10; });  // behind the hanging call on the one thread
        while (*ran == 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_GE(took, std::chrono::milliseconds(300));
    EXPECT_LT(took, std::chrono::seconds(5));
    EXPECT_EQ(*ran, 1);
    *release = true;  // the left thread ends
}

class TCountingOpener : public IShellOpener {
public:
    DWORD Open(HWND owner, const std::string& verb, const std::string& target) override {
        Last = verb + " " + target;
        Owner = owner;
        ++Count;
        return Answer;
    }
    DWORD ShowInFolder(HWND owner, const std::string& file) override {
        Last = "show in folder " + file;
        Owner = owner;
        ++Count;
        return Answer;
    }
    std::string Last;
    HWND Owner = nullptr;
    DWORD Answer = ERROR_SUCCESS;
    std::atomic<int> Count{0};
};

TEST(ShellJobs, AnEmptyNameQueuesNothingAndQuotesAreStrippedOnce) {
    auto opener = std::make_shared<TCountingOpener>();
    TShell shell(opener);
    shell.OpenFileWithShell("open", "");
    shell.OpenFileWithShell("open", "\"C:\\x\\a b.vcf\"");
    shell.Pool().WaitForDone();
    EXPECT_EQ(opener->Count, 1);
    EXPECT_EQ(opener->Last, "open C:\\x\\a b.vcf");
}

TEST(ShellJobs, ARefusedRequestIsKeptForItsOwnerWhichIsTold) {
    auto opener = std::make_shared<TCountingOpener>();
    opener->Answer = ERROR_FILE_NOT_FOUND;
    TShell shell(opener, 1);  // one thread: in the order queued
    // A window that only takes messages: no display is needed.
    const HWND owner = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    shell.SetOwner(owner);
    shell.OpenFileWithShell("open", "C:\\x\\a.vcf");
    shell.OpenFileWithShell("open", "https://x.org");
    shell.ShowInFolder("C:\\x\\a.vcf");
    shell.Pool().WaitForDone();
    EXPECT_EQ(opener->Owner, owner);
    const std::string why = ": " + SystemErrorText(ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(shell.TakeFailures(),
              (std::vector<std::string>{"Die Datei \"C:\\x\\a.vcf\" kann nicht ge\xC3\xB6" "ffnet werden" + why,
                                        "Der Link \"https://x.org\" kann nicht ge\xC3\xB6" "ffnet werden" + why,
                                        "Die Datei \"C:\\x\\a.vcf\" kann nicht im Ordner gezeigt werden" + why}));
    EXPECT_TRUE(shell.TakeFailures().empty());
    MSG told{};
    EXPECT_TRUE(PeekMessageW(&told, owner, WM_SHELLFAILED, WM_SHELLFAILED, PM_REMOVE));
    DestroyWindow(owner);
}

}  // namespace
}  // namespace qm
