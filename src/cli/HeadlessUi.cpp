#include "cli/HeadlessUi.h"

#include "app/Language.h"

#include <ostream>

namespace tv {

std::string PlainLines(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

void HeadlessUi::ShowMessage(const std::string& text) {
    Quiet();
    err_ << PlainLines(Tr(text)) << '\n';
}

void HeadlessUi::ShowError(const std::string& text) {
    Quiet();
    ++errors_;
    err_ << PlainLines(Tr(text)) << ".\n";
}

void HeadlessUi::ShowErrorCause(const std::string& text) {
    Quiet();
    if (!text.empty()) err_ << PlainLines(text) << '\n';
}

DuplicateAnswer HeadlessUi::AskDuplicate(const std::string& text) {
    Quiet();
    err_ << PlainLines(Tr(text)) << '\n';
    return answer_;
}

} // namespace tv
