#pragma once

#include <QStringList>

// cc2530ctl: the subcommands, their options and exit codes. Results go to standard output,
// messages to standard error.
namespace Ctl {

enum ExitCode {
    Done = 0,
    // Refused input, or a parameter that did not read back as written.
    Refused = 1,
    // diff: the module differs from the file.
    Differs = 1,
    // The port could not be opened, the module did not answer, or the line was lost.
    LinkFailed = 2,
    // diff and backup: anything that kept the work from being done.
    Trouble = 2,
    // restore, set and provision (on ports) stopped by a signal exit with 128 + its number
    // (InterruptWatch).
};

int run(const QStringList &arguments);

} // namespace Ctl
