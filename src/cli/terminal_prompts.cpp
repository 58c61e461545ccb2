#include "cli/terminal_prompts.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "resources/strings.h"

namespace tolva::cli {

void TerminalProgressView::Wait(const Waiter& waiter, VerificationRun&) {
    pollfd descriptors[2] = {{waiter.Fd(), POLLIN, 0}, {signals_.Fd(), POLLIN, 0}};
    int count = signals_.Fd() >= 0 ? 2 : 1;
    poll(descriptors, count, -1);
    // Collect also presses OK or Cancel on the run for any stop that arrived.
    signals_.Collect(terminal_);
}

std::size_t TerminalProgressView::TerminalWidth() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) return size.ws_col - 1;
    return 79;
}

int TerminalRepair::DoModal(UrlRepairFields& fields) {
    const std::string caption = LoadString(IDS_REPAIR_GROUP);
    std::string shown = "\n  Error: " + fields.errorText + "\n  Name: " + fields.name + "\n  URL: " + fields.url;
    if (!fields.archivedUrl.empty()) shown += "\n  Archived copy: " + fields.archivedUrl;
    terminal_.Message(shown, caption);
    // Enter takes what the box would hold: the link's own URL, or an archived copy proposed.
    const bool proposed = fields.newUrl != fields.url;
    terminal_.Note(proposed ? "New URL (Enter takes the archived copy, \"=\" keeps the link as it is, \"-\" moves it "
                              "aside):"
                            : "New URL (Enter keeps the link as it is, \"-\" moves it aside):");
    std::string line;
    switch (input_.Read(line, signals_, terminal_, false)) {
        case InputLines::Result::Line:
            break;
        case InputLines::Result::End:
            return kDialogCancel;
        case InputLines::Result::Interrupted:
            // Canceled while the question is open: the link stays as it is.
            return kDialogOk;
    }
    if (line == "-") return kDialogCancel;
    if (line == "=") line = fields.url;
    if (!line.empty()) fields.newUrl = line;
    return kDialogOk;
}

int TerminalCookieWarning::DoModal(int& choice) {
    terminal_.Message(LoadString(IDS_COOKIE_WARNING), LoadString(IDS_MSG_CAPTION_RUN));
    if (answer_ == "prompt") return Answer(choice, kCookieChoicePrompt, "(--cookies prompt)");
    if (answer_ == "run") return Answer(choice, kCookieChoiceDuringRun, "(--cookies run)");
    if (answer_ == "always") return Answer(choice, kCookieChoiceAlways, "(--cookies always)");
    if (!IsTerminal(stdin)) {
        return Answer(choice, choice, "(no terminal to ask; choose with --cookies prompt|run|always)");
    }
    terminal_.Note(LoadString(IDS_COOKIE_QUESTION));
    const int ids[] = {IDS_COOKIE_CHOICE_PROMPT, IDS_COOKIE_CHOICE_DURING_RUN, IDS_COOKIE_CHOICE_ALWAYS};
    for (int i = 0; i < 3; ++i) {
        terminal_.Note("  " + std::to_string(i + 1) + ". " + LoadString(ids[i]) +
                       (i == choice ? " (default)" : ""));
    }
    for (;;) {
        terminal_.Note("Choose 1, 2 or 3 (end of input cancels):");
        std::string line;
        if (input_.Read(line, signals_, terminal_, true) != InputLines::Result::Line) return kDialogCancel;
        if (line.empty()) return kDialogOk;
        if (line == "1" || line == "2" || line == "3") {
            choice = line[0] - '1';
            return kDialogOk;
        }
    }
}

int TerminalCookieWarning::Answer(int& choice, int chosen, const std::string& why) {
    static const int ids[] = {IDS_COOKIE_CHOICE_PROMPT, IDS_COOKIE_CHOICE_DURING_RUN, IDS_COOKIE_CHOICE_ALWAYS};
    choice = chosen;
    terminal_.Note("Answered \"" + LoadString(ids[chosen]) + "\" " + why + ".");
    return kDialogOk;
}

}  // namespace tolva::cli
