#include "install/account_state.h"

#include <string>

#include "utils/accounts.h"

AccountState CurrentAccountState() {
    AccountState state;
    std::wstring consoleUser;
    if (!Utils::GetConsoleUserName(&consoleUser))
        consoleUser.clear();
    state.consoleUserIsAdmin = Utils::IsAdminAccount(consoleUser);
    state.processIsElevated = Utils::IsRunAsAdmin();
    return state;
}
