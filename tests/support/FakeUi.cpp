#include "support/FakeUi.h"

#include "core/HashPool.h"

#include <cstdlib>

namespace tv::test {

namespace {
// TV_TEST_THREADS=N runs every form of a suite with N hashing threads (1: the walk alone), so that the
// same suite proves both paths give the same rows.
const bool threadsChosen = [] {
    if (const char* n = std::getenv("TV_TEST_THREADS")) HashWorkers::DefaultThreads = std::atoi(n);
    return true;
}();
} // namespace

DuplicateAnswer FakeUi::AskDuplicate(const std::string& text) {
    DuplicateQuestions.push_back(text);
    if (DuplicateAnswers.empty()) return DuplicateAnswer::No;
    DuplicateAnswer a = DuplicateAnswers.front();
    DuplicateAnswers.pop_front();
    return a;
}

void FakeUi::ProcessMessages() {
    ++ProcessMessagesCount;
    if (OnProcessMessages) OnProcessMessages();
}

std::optional<std::string> FakeUi::NextDialogAnswer() {
    if (DialogAnswers.empty()) return std::nullopt;
    std::optional<std::string> a = DialogAnswers.front();
    DialogAnswers.pop_front();
    return a;
}

std::optional<std::string> FakeUi::OpenFileDialog(const std::string& filter, const std::string& startFolder) {
    Dialogs.push_back({"open", "", filter, "", startFolder});
    return NextDialogAnswer();
}

std::optional<std::string> FakeUi::SaveFileDialog(const std::string& title, const std::string& filter,
                                                  const std::string& proposedName, const std::string& startFolder) {
    Dialogs.push_back({"save", title, filter, proposedName, startFolder});
    return NextDialogAnswer();
}

std::optional<std::string> FakeUi::ChooseFolder(const std::string& caption, const std::string& startFolder) {
    Dialogs.push_back({"folder", caption, "", "", startFolder});
    return NextDialogAnswer();
}

} // namespace tv::test
