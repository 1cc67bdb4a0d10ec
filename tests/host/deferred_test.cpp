// Deferred commands under the run-once keys, and the restart.
#include "app/deferred.h"
#include "app/main.h"
#include "machine_fixture.h"

static const char kRunOnce[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
static const char kRunServicesOnce[] = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\RunServicesOnce";

class Deferred : public MachineTest {
protected:
    std::string Value(const char *key, const char *name)
    {
        DWORD type = 0;
        std::string data;
        if (!HostRegGetValue(key, name, &type, &data)) return "(absent)";
        EXPECT_EQ(type, (DWORD)REG_SZ);
        // The terminator is part of the data.
        EXPECT_FALSE(data.empty());
        EXPECT_EQ(data.back(), '\0');
        return data.substr(0, data.size() - 1);
    }
};

TEST_F(Deferred, NumbersCommandsFromTheFirstFreeName)
{
    g_bWinNT = 1;
    EXPECT_EQ(AddDeferredCommand("cmd.exe /c del C:\\A.DEL"), 1);
    EXPECT_EQ(AddDeferredCommand("cmd.exe /c del C:\\B.DEL"), 1);
    EXPECT_EQ(AddDeferredCommand("cmd.exe /c rmdir C:\\VANTRO "), 1);
    EXPECT_EQ(Value(kRunOnce, "Brenmoor0"), "cmd.exe /c del C:\\A.DEL");
    EXPECT_EQ(Value(kRunOnce, "Brenmoor1"), "cmd.exe /c del C:\\B.DEL");
    EXPECT_EQ(Value(kRunOnce, "Brenmoor2"), "cmd.exe /c rmdir C:\\VANTRO ");
    EXPECT_FALSE(HostRegKeyExists(kRunServicesOnce));
    EXPECT_EQ(HostRegOpenHandles(), 0);
}

TEST_F(Deferred, FillsAGapAndNeverOverwrites)
{
    g_bWinNT = 1;
    HostRegSetString(kRunOnce, "Brenmoor0", "first");
    HostRegSetString(kRunOnce, "brenmoor2", "third");
    EXPECT_EQ(AddDeferredCommand("second"), 1);
    EXPECT_EQ(Value(kRunOnce, "Brenmoor0"), "first");
    EXPECT_EQ(Value(kRunOnce, "Brenmoor1"), "second");
    EXPECT_EQ(Value(kRunOnce, "Brenmoor2"), "third");
    EXPECT_EQ(AddDeferredCommand("fourth"), 1);
    EXPECT_EQ(Value(kRunOnce, "Brenmoor3"), "fourth");
}

TEST_F(Deferred, Windows95CreatesRunServicesOnce)
{
    g_bWinNT = 0;
    ASSERT_FALSE(HostRegKeyExists(kRunServicesOnce));
    EXPECT_EQ(AddDeferredCommand("command.com /c copy A.NEW A.DLL"), 1);
    EXPECT_EQ(Value(kRunServicesOnce, "Brenmoor0"), "command.com /c copy A.NEW A.DLL");
    EXPECT_TRUE(HostRegValueNames(kRunOnce).empty());
}

// Windows 95 without a RunServicesOnce key: the parent opens, the subkey does
// not and is created, Brenmoor0 is looked for and set. Each row fails one of
// those calls (and every later one like it); the fault is met, the result is
// the one the rules give, and no key is left open.
TEST_F(Deferred, EveryRegistryFailureHasItsOneResult)
{
    const char kParent[] = "Software\\Microsoft\\Windows\\CurrentVersion";
    struct Row {
        const char *api, *arg;
        int stored;        // AddDeferredCommand's result
        bool keyCreated;   // RunServicesOnce exists afterwards
    } rows[] = {
        {"RegOpenKeyExA", kParent, 0, false},             // no parent: nothing to do
        {"RegOpenKeyExA", "RunServicesOnce", 1, true},    // missing anyway: created
        {"RegCreateKeyA", "RunServicesOnce", 0, false},   // neither opens nor is created
        {"RegSetValueExA", "Brenmoor0", 0, true},         // the value cannot be set
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(std::string(row.api) + " " + row.arg);
        MachineTest::TearDown();
        MachineTest::SetUp();
        g_bWinNT = 0;
        HostFailCallOn(row.api, row.arg, 0, ERROR_ACCESS_DENIED);
        EXPECT_EQ(AddDeferredCommand("command.com /c copy X Y"), row.stored);
        EXPECT_GE(HostFaultsFired(), 1) << "the fault was never met";
        EXPECT_EQ(HostRegKeyExists(kRunServicesOnce), row.keyCreated);
        std::string data;
        bool present = HostRegGetValue(kRunServicesOnce, "Brenmoor0", nullptr, &data);
        EXPECT_EQ(present, row.stored == 1);
        if (present) EXPECT_EQ(data, std::string("command.com /c copy X Y", 24));  // with its terminator
        EXPECT_TRUE(HostRegValueNames(kRunOnce).empty());
        EXPECT_EQ(HostRegOpenHandles(), 0);
    }
}

TEST_F(Deferred, RestartEnablesTheShutdownPrivilegeOnNTOnly)
{
    g_bWinNT = 1;
    RestartWindows();
    EXPECT_EQ(HostRestartState().requests, 1);
    EXPECT_EQ(HostRestartState().lastFlags, (UINT)EWX_REBOOT);
    EXPECT_TRUE(HostRestartState().privilegeBeforeRequest);

    MachineTest::TearDown();
    MachineTest::SetUp();
    g_bWinNT = 0;
    RestartWindows();
    EXPECT_EQ(HostRestartState().requests, 1);
    EXPECT_FALSE(HostRestartState().shutdownPrivilege);

    // A refused privilege still asks for the restart.
    MachineTest::TearDown();
    MachineTest::SetUp();
    g_bWinNT = 1;
    HostFailCall("OpenProcessToken", 0, ERROR_ACCESS_DENIED);
    RestartWindows();
    EXPECT_EQ(HostRestartState().requests, 1);
}
