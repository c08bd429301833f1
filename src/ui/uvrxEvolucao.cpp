#include "uvrxEvolucao.h"

#include <filesystem>
#include <stdexcept>

#include "ui/UserFront.h"

namespace pavana {

std::unique_ptr<TfvrxEvolucao> fvrxEvolucao;

namespace {

constexpr int kClipSlots = 10;

struct ClipTable {
    std::string folder;
    std::array<std::string, kClipSlots> names{"anmNenhum.avi", "anmGenerica.avi", "anmInternet.avi"};
};

std::string ProgramFolder() {
    std::error_code error;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string("./") : exe.parent_path().string() + "/";
}

ClipTable& Clips() {
    static ClipTable table{ProgramFolder()};
    return table;
}

std::string& Slot(int index) {
    if (index < 0 || index >= kClipSlots) throw std::out_of_range("clip index outside 0 to 9");
    return Clips().names[static_cast<std::size_t>(index)];
}

}  // namespace

void TfvrxEvolucao::SetProgressText(const std::string& text) {
    if (finished_) return;
    ShowLabel(text);
    ProcessMessages();
}

void TfvrxEvolucao::SetProgressStatus(const std::string& text) {
    if (finished_) return;
    ShowStatus(text);
    ProcessMessages();
}

void TfvrxEvolucao::SetProgressPosition(int position) {
    if (finished_ || !hasBar_) return;
    if (position < maximum_) {
        ShowBarPosition(position);
        ProcessMessages();
        return;
    }
    CloseWindow();
    finished_ = true;
    ProcessMessages();
}

void TfvrxEvolucao::Build(const std::string& labelText, const std::string& statusText, int maximum,
                          const std::string& clipPath) {
    CreateWindowFrame();
    SetProgressText(labelText);
    finished_ = false;
    maximum_ = maximum;
    if (maximum <= 0) {
        CreateAnimation(clipPath);
    } else {
        CreateProgressBar(maximum);
        hasBar_ = true;
        SetProgressPosition(0);
    }
    SetProgressStatus(statusText);
    ShowWindow();
    ProcessMessages();
}

const std::string& AnimationFolder() { return Clips().folder; }

void SetAnimationFolder(const std::string& folder) {
    Clips().folder = folder;
    if (!folder.empty() && folder.back() != '/') Clips().folder += '/';
}

void SetAnimationClip(int index, const std::string& file) {
    std::size_t slash = file.find_last_of('/');
    Slot(index) = slash == std::string::npos ? file : file.substr(slash + 1);
}

std::string AnimationClipPath(int index) { return AnimationFolder() + Slot(index); }

TfvrxEvolucao* ShowProgress(std::unique_ptr<TfvrxEvolucao>& variable, const std::string& labelText,
                            const std::string& statusText, int maximum, int clipIndex) {
    try {
        variable = CurrentFront().CreateProgressWindow();
        variable->Build(labelText, statusText, maximum, AnimationClipPath(clipIndex));
        return variable.get();
    } catch (...) {
        return nullptr;
    }
}

void CloseProgress(std::unique_ptr<TfvrxEvolucao>& variable) {
    if (!variable) return;
    if (variable->Finished()) {
        variable.reset();
        return;
    }
    try {
        variable->Close();
        variable.reset();
        CurrentFront().ProcessMessages();
    } catch (...) {
    }
}

}  // namespace pavana
