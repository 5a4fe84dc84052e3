#pragma once

#include <QString>
#include <functional>

namespace regdesk {

// Runs `work` on a thread of its own and returns its result once the thread
// has ended and been joined. Meanwhile a local event loop keeps the windows
// painted (and a busy bar moving) but takes no user input, so nothing can be
// started twice. `work` returns a failure text, empty on success; running
// out of memory on the way is a failure too.
QString runInBackground(const std::function<QString()>& work);

} // namespace regdesk
