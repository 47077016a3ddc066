// SPDX-License-Identifier: GPL-3.0-or-later
// Shares independent parts of one piece of work between the calling thread and a thread of
// Qt's global pool, for the memory-bound passes of a large redraw: one core alone waits on
// memory for most of such a pass.
#pragma once

#include <cstdint>
#include <functional>

// Calls work(0), ..., work(parts - 1), each exactly once and in any order, and returns when
// all have returned. The calling thread takes parts itself from the start, so nothing waits
// for a pool thread that is busy or slow to wake: a part is only left to the pool thread
// when that thread has already begun it. Parts must not write the same memory.
void ShareWork(int32_t parts, const std::function<void(int32_t part)>& work);
