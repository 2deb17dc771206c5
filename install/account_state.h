// The two account facts the child programs are told: whether the user at the console is an
// administrator account and whether the installer itself runs elevated.
#pragma once

struct AccountState {
    bool consoleUserIsAdmin = false;  ///< administrator account of the console user
    bool processIsElevated = false;   ///< the installer runs with administrator rights
};

/// Asks the system now (the values are computed afresh for every command line).
AccountState CurrentAccountState();
