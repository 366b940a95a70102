#pragma once
// The process-wide random generator. Every random choice of the program (reply picks, chunking,
// generation, the opening line) draws from it, so seeding it makes a whole run repeatable.
// It is process-wide on purpose: the choices are made deep inside the engine, and a test must be
// able to fix them without threading a generator through every engine call.
//
// Safe to call from several threads at once; the values drawn by one thread then depend on how
// the threads interleave, but every value is drawn exactly once.

#include <cstdint>

namespace vebix::rng {

// The next unsigned 32-bit value.
std::uint32_t next();

// Restarts the sequence. The generator starts seeded from the clock and the process id.
void seed(std::uint64_t value);

}  // namespace vebix::rng
