// Message kinds, button sets and dialog results of the program's message dialogs.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace pavana {

enum TMessageKind : std::uint8_t {
    mkWarning = 0,
    mkError = 1,
    mkInformation = 2,
    mkConfirmation = 3,
    mkCustom = 4,
    mkMensagem = 5,
    mkErrorWindows = 6,
};

// A 16-bit set: bit i requests the button of entry i of `kMessageButtons`. Callers request
// bits 0 to 10; entries 11 and 12 serve the details button.
using TMessageButtons = std::uint16_t;
constexpr TMessageButtons kButtonOK = 1u << 2;

struct MessageButtonEntry {
    std::string_view name;     // component name, also the name of its bitmap resource
    std::string_view caption;  // with "&" before the accelerator
    int modalResult;
};

inline constexpr std::array<MessageButtonEntry, 13> kMessageButtons = {{
    {"Yes", "&Sim", 6},
    {"No", "&Não", 7},
    {"OK", "OK", 1},
    {"Cancel", "Cancelar", 2},
    {"Retry", "&Repetir", 4},
    {"Abort", "&Abortar", 3},
    {"Ignore", "&Ignorar", 5},
    {"All", "&Todos", 8},
    {"NoToAll", "Nã&o para todos", 9},
    {"YesToAll", "Sim para &todos", 10},
    {"Help", "&Ajuda", 0},
    {"Detalhes", "Detalhes", 0},
    {"Detalhes2", "Detalhes", 0},
}};

// The window caption of a kind; kind 4 (custom) uses the application's title instead.
std::string_view MessageKindCaption(TMessageKind kind);
// The icon resource of a kind, empty for kind 4.
std::string_view MessageKindIcon(TMessageKind kind);

// The entry of the default button: OK when requested, else Yes, else Retry; -1 for none.
int DefaultButtonEntry(TMessageButtons buttons);

// The result a dialog gives when it is closed by its close box or suppressed by the store.
constexpr int kCancelResult = 2;

}  // namespace pavana
