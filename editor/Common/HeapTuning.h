#pragma once

// How the C library's allocator treats the large buffers the editor takes and gives back many
// times over, such as the megabyte pieces a save or a search of a large document reads and
// encodes one after another.
namespace HeapTuning {

// Allocations of up to 4 MiB come from the heap, and up to 8 MiB freed at its top stay there
// for the next: such a buffer taken afresh from the kernel each time would cost a page fault
// for every 4 KiB of it. The text of a file, in blocks of up to 32 MiB, still gets memory of
// its own, which goes back to the system as soon as the document lets it go. By default glibc
// moves these limits up as large buffers are freed, so they would depend on what the process
// happened to free first. Called once, at the start.
void apply();

} // namespace HeapTuning
