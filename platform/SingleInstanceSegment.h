#pragma once

class QSharedMemory;

namespace platform {

// Creates the shared memory segment whose existence marks a running instance.
// A segment outlives an owner that was killed; attaching and detaching once
// removes it when nobody else is attached, and leaves a live owner's segment
// alone. Returns whether this process now owns the segment.
//
// A segment's key is derived from the key file's inode (16 bits of it), so
// an unrelated program, or another user's, may hold the same key:
// a failed create alone does not prove that another instance runs.
bool createSingleInstanceSegment(QSharedMemory &segment, int size);

} // namespace platform
