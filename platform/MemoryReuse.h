#pragma once

namespace regdesk {

// Lets the process keep memory that a large database transaction freed, for
// the next one. By default glibc hands the top of the heap back to the system
// as soon as 128 KiB of it are free; a deletion of a thousand records then
// faults its several megabytes of search-index buffers in afresh each time,
// a third of its time. Up to 32 MiB are kept instead. Called once, first
// thing in main(); does nothing on other C libraries.
void keepFreedMemoryForReuse();

} // namespace regdesk
