// A fresh simulated machine for each test, on a scratch folder of its own, with
// the installer's process-wide state back at its start-up values.
#ifndef VANTRO_MACHINE_FIXTURE_H
#define VANTRO_MACHINE_FIXTURE_H

#include <gtest/gtest.h>

#include <string>

#include "machine.h"

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string root_;
};

// Puts every process-wide variable of the installer back to its start-up value.
void ResetInstallerState();

// Runs the program's entry point on the simulated machine; returns its exit code.
int RunSetup();

// The whole text of a file on the simulated machine, "" when it is missing.
std::string ReadText(const char *winPath);

#endif
