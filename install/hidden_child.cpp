#include "install/hidden_child.h"

#include "utils/pipe.h"

std::unique_ptr<Utils::ChildProcess> LaunchHiddenChild(const std::vector<std::wstring>& arguments,
                                                       const std::wstring& commandLine) {
    auto child = std::make_unique<Utils::ChildProcess>();
    try {
        child->CreateErrorPipe();
        child->CreateOutputPipe();
        child->CreateInputPipe();
        child->Launch(arguments, commandLine);
    } catch (const Utils::Exception&) {
        return nullptr;
    }
    return child;
}
