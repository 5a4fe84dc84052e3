#pragma once

namespace regdesk {

class Prompter;
struct DeskSeams;

// The desk's one form, run modally until it closes, as the program runs it:
// the compact add-in form when start-up found a document path, else the full
// form; each with its controllers over data.db in the program directory.
// Without the database the clerk is told so and no form is shown. The
// start-up paths must be set.
int runDesk(Prompter& prompter, const DeskSeams& seams);

} // namespace regdesk
