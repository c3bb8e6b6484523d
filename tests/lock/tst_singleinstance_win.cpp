// The named mutex across real processes, as two starts of the picker would
// race for it.
#include <gtest/gtest.h>

#include <string>

#include <windows.h>

namespace {

const wchar_t markerName[] = L"SCRM-TAVRO";

struct Holder
{
    HANDLE process = nullptr;
    HANDLE input = nullptr; // closing it lets the holder end
    HANDLE output = nullptr;
};

// The helper is built next to this test; its Unix-style build path would
// mean nothing to CreateProcessW.
std::wstring holderPath()
{
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    EXPECT_GT(length, 0u);
    EXPECT_LT(length, DWORD(MAX_PATH));
    std::wstring path(self, length);
    path.erase(path.find_last_of(L"\\/") + 1);
    const char name[] = LOCKHOLDER_NAME;
    return path + std::wstring(name, name + sizeof name - 1);
}

Holder start()
{
    SECURITY_ATTRIBUTES inheritable = { sizeof inheritable, nullptr, TRUE };
    HANDLE inRead, inWrite, outRead, outWrite;
    EXPECT_TRUE(CreatePipe(&inRead, &inWrite, &inheritable, 0));
    EXPECT_TRUE(CreatePipe(&outRead, &outWrite, &inheritable, 0));
    // Our ends stay ours, or a later holder would keep an earlier one's
    // input open.
    SetHandleInformation(inWrite, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead;
    startup.hStdOutput = outWrite;
    startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    const std::wstring path = holderPath();
    std::wstring commandLine = L"\"" + path + L"\"";
    PROCESS_INFORMATION info = {};
    EXPECT_TRUE(CreateProcessW(path.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                               nullptr, &startup, &info))
        << "error " << GetLastError();
    if (info.hThread)
        CloseHandle(info.hThread);
    CloseHandle(inRead);
    CloseHandle(outWrite);
    return Holder { info.hProcess, inWrite, outRead };
}

// "held" once it holds the marker, "" when it exited without it.
std::string firstLine(const Holder &holder)
{
    std::string line;
    char c;
    DWORD count = 0;
    while (ReadFile(holder.output, &c, 1, &count, nullptr) && count == 1 && c != '\n') {
        if (c != '\r') // the C runtime's text mode
            line += c;
    }
    return line;
}

DWORD exitCode(Holder &holder)
{
    CloseHandle(holder.input);
    CloseHandle(holder.output);
    DWORD code = STILL_ACTIVE;
    EXPECT_EQ(WaitForSingleObject(holder.process, 30000), WAIT_OBJECT_0);
    EXPECT_TRUE(GetExitCodeProcess(holder.process, &code));
    CloseHandle(holder.process);
    return code;
}

bool markerExists()
{
    const HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, markerName);
    if (!mutex)
        return false;
    CloseHandle(mutex);
    return true;
}

} // namespace

TEST(SingleInstance, SecondStartFailsWhileTheFirstRuns)
{
    ASSERT_FALSE(markerExists()) << "a picker is running in this session";
    Holder first = start();
    ASSERT_EQ(firstLine(first), "held");
    EXPECT_TRUE(markerExists());
    Holder second = start();
    EXPECT_EQ(firstLine(second), "");
    EXPECT_EQ(exitCode(second), 1u);
    EXPECT_TRUE(markerExists()) << "the refused start must not take the marker away";
    EXPECT_EQ(exitCode(first), 0u);
    EXPECT_FALSE(markerExists());
}

TEST(SingleInstance, StartSucceedsAfterTheFirstEnds)
{
    const UINT killedCode = 9;
    for (const bool killed : { false, true }) {
        SCOPED_TRACE(killed ? "killed" : "ended");
        Holder first = start();
        ASSERT_EQ(firstLine(first), "held");
        if (killed) {
            EXPECT_TRUE(TerminateProcess(first.process, killedCode));
        }
        EXPECT_EQ(exitCode(first), killed ? killedCode : 0u);
        EXPECT_FALSE(markerExists());

        Holder next = start();
        EXPECT_EQ(firstLine(next), "held");
        EXPECT_EQ(exitCode(next), 0u);
    }
}
