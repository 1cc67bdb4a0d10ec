// Shared ground for the rule tests: a fresh machine, the catalogue as built, and
// whole runs of the program with every dialog step and every message box answer
// given by the test.
#ifndef VANTRO_RULES_FIXTURE_H
#define VANTRO_RULES_FIXTURE_H

#include <string>
#include <vector>

#include "machine_fixture.h"

class RulesTest : public MachineTest {
protected:
    void SetUp() override;
    void TearDown() override;

    static const char *const kDest;  // the default destination on NT 4
    // The closing message of an install that registered the Explorer
    // interface's shell extension: the shell must restart to load it.
    static const char *const kRestartPrompt;

    // A fresh machine for one row of a table, ready for the install sequence
    // alone: the temporary folder current, a scratch name, the destination made.
    void FreshSequence();
    // Writes the options file beside the program.
    void Options(const std::string &text);
    // Scripts an interactive run: Continue in the action dialog, OK on the
    // proposed destination, then `components` followed by OK in the component
    // dialog (no OK when `componentsEnd` is false: the steps end the dialog).
    void ScriptInteractive(std::vector<HostDialogStep> components = {}, bool componentsEnd = true);
    bool DestHas(const char *name) const;
    std::string Dest(const char *name) const;
    // The install record's key in WIN.INI, "(none)" when missing.
    std::string Record(const char *key) const;
    // The program's main window (destroyed or not), or null.
    HWND MainWindow() const;
    // No window of the program was ever shown and no dialog was made.
    void ExpectNothingShown() const;
};

// The five catalogue tables in order, with their first resource index.
struct RulesTable {
    const char *name;
    struct CatalogueEntry *rows;
    int count, first;
};
extern const RulesTable kRulesTables[5];

#endif
