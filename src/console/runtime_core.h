// The run-time core's module steps: the standard streams set up at start and closed at the end,
// and the processor faults' road out of the process.
#pragma once

void InitRuntimeCore();
void FinishRuntimeCore();
