#include "MessageKinds.h"

namespace pavana {

std::string_view MessageKindCaption(TMessageKind kind) {
    switch (kind) {
        case mkWarning: return "Aviso";
        case mkError: return "Erro";
        case mkInformation: return "Informação";
        case mkConfirmation: return "Confirmação";
        case mkCustom: return "";
        case mkMensagem: return "Mensagem";
        case mkErrorWindows: return "Erro";
    }
    return "";
}

std::string_view MessageKindIcon(TMessageKind kind) {
    switch (kind) {
        case mkWarning: return "xWarning";
        case mkError: return "xError";
        case mkInformation: return "xInformation";
        case mkConfirmation: return "xConfirmation";
        case mkCustom: return "";
        case mkMensagem: return "xMensagem";
        case mkErrorWindows: return "xErrorWindows";
    }
    return "";
}

int DefaultButtonEntry(TMessageButtons buttons) {
    for (int entry : {2, 0, 4}) {
        if (buttons & (1u << entry)) return entry;
    }
    return -1;
}

}  // namespace pavana
