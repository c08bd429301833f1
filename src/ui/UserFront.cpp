#include "UserFront.h"

#include <cstdio>

#include "ui/TerminalFront.h"

namespace pavana {
namespace {

std::unique_ptr<UserFront>& Installed() {
    static std::unique_ptr<UserFront> front;
    return front;
}

std::string& Title() {
    static std::string title = "PavanaScript";
    return title;
}

}  // namespace

void UserFront::ShowText(const std::string& text) {
    std::fputs(text.c_str(), stderr);
    std::fflush(stderr);
}

UserFront& CurrentFront() {
    if (!Installed()) Installed() = std::make_unique<TerminalFront>();
    return *Installed();
}

void InstallFront(std::unique_ptr<UserFront> front) { Installed() = std::move(front); }

const std::string& ApplicationTitle() { return Title(); }

void SetApplicationTitle(std::string title) { Title() = std::move(title); }

}  // namespace pavana
