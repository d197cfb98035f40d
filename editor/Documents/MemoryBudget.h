#pragma once

#include <QtGlobal>

// Whether a file fits in memory to be opened. The text engine holds a file as UTF-16 in pieces:
// two bytes for every byte of ASCII or of a single-byte encoding (longer UTF-8 sequences take
// fewer), a piece-tree node per 4,096 units, and while it loads a few blocks in flight (up to
// 96 MiB, less for a small file). A file is refused when that would not fit in what the system
// can give now, rather than letting the kernel's out-of-memory killer end the editor and every
// window it holds.
namespace MemoryBudget {

// Memory opening and editing a file of `fileSize` bytes takes, at its peak.
qint64 bytesToOpen(qint64 fileSize);
// The largest file for which bytesToOpen() stays within `available`; 0 when none does.
qint64 largestFileFor(qint64 available);

// What the process can allocate without swapping: MemAvailable of /proc/meminfo, less when its
// cgroup's memory.max leaves less. Without either, as much as a file can be.
//
// SCRIVLET_TEST_AVAILABLE_MEMORY=BYTES replaces the figure, so that tests can exercise the
// refusal with small files; it is a test switch, not a setting.
qint64 availableBytes();

} // namespace MemoryBudget
