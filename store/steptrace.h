#pragma once

// Where an installation's time goes, for scripts/bench-install: with
// NIMBREL_STEP_TRACE naming a file, each mark appends "STEP NANOSECONDS"
// (the wall clock, as date +%s%N gives it) when STEP begins; a step lasts
// until the next mark. Without it a mark costs one getenv and writes
// nothing. Never fails the caller: a trace that cannot be written is lost.
void markStep(const char* step);
